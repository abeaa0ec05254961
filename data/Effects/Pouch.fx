# Lit models drawn in screen space (the blocks of the HUD pouch): the world
# matrix places the model in fractions of the screen, x right and y down.
# Values every effect shares through the pool: the camera (set once per run
# of effects), the light, and the material, texture and alpha of the state.
shared float4x4 ViewProjection
shared float4x4 Projection
shared float4x4 Billboard
shared float3 CameraEye
shared float3 CameraUp = 0 1 0
shared float3 CameraSide = 1 0 0
shared float3 LightDir = 0 -1 0
shared float mAlpha = 1
shared float3 mDiffuse = 1 1 1
shared float3 mEmissive
shared float3 mSpecular
shared float mPower
shared texture Tex wrap

param float4x4 World : WORLD

common
// Light on a diffuse colour: from LightDir with an ambient floor, the material emissive
// and a specular highlight when the material has a power.
vec3 Light(vec3 base, vec3 n, vec3 worldPos) {
    vec3 l = -normalize(LightDir);
    float ndl = max(dot(n, l), 0.0);
    vec3 c = base * (0.4 + 0.6 * ndl) + mEmissive;
    if (mPower > 0.0) {
        vec3 v = normalize(CameraEye - worldPos);
        vec3 h = normalize(l + v);
        c += mSpecular * pow(max(dot(n, h), 0.0), mPower);
    }
    return c;
}
end

vertex pouchVS
in vec3 inPosition;
in vec3 inNormal;
in vec2 inTex0;
out vec3 vNormal;
out vec3 vWorld;
out vec2 vUV;
void main() {
    vec4 p = World * vec4(inPosition, 1.0);
    vWorld = p.xyz;
    vNormal = normalize(mat3(World) * inNormal);
    vUV = inTex0;
    gl_Position = vec4(p.x * 2.0 - 1.0, 1.0 - p.y * 2.0, 0.0, 1.0);
}
end

fragment textured
in vec3 vNormal;
in vec3 vWorld;
in vec2 vUV;
out vec4 outColor;
void main() {
    vec4 t = texture(Tex, vUV);
    outColor = vec4(Light(t.rgb * mDiffuse, normalize(vNormal), vWorld), t.a * mAlpha);
}
end

fragment plain
in vec3 vNormal;
in vec3 vWorld;
in vec2 vUV;
out vec4 outColor;
void main() { outColor = vec4(Light(mDiffuse, normalize(vNormal), vWorld), mAlpha); }
end

# The screen mapping mirrors y, so the faces turned away show clockwise.
technique Pouch
  pass
    vertex pouchVS
    fragment textured
    depthtest off
    depthwrite off
    cull ccw
  end
end
technique Pouch_NoTexture
  pass
    vertex pouchVS
    fragment plain
    depthtest off
    depthwrite off
    cull ccw
  end
end
