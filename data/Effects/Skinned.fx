# Skinned, animated characters: every vertex is moved by up to four bones of
# the palette (bone matrices already carry the object's world transform).
# Tag 12: the render queue blends its objects while they fade.
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
param float4x4 WorldViewProj : WORLDVIEWPROJ
param float4x4 BonePalette[48]
param int NumInfluences = 2

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

vertex skinVS
in vec3 inPosition;
in vec3 inNormal;
in vec2 inTex0;
in vec4 inTex1;
in vec4 inTex2;
out vec3 vNormal;
out vec3 vWorld;
out vec2 vUV;
void main() {
    int n = clamp(NumInfluences + 2, 1, 4);
    mat4 skin = mat4(0.0);
    for (int i = 0; i < 4; ++i) {
        if (i < n) skin += BonePalette[int(inTex2[i] + 0.5)] * inTex1[i];
    }
    vec4 world = skin * vec4(inPosition, 1.0);
    vWorld = world.xyz;
    vNormal = normalize(mat3(skin) * inNormal);
    vUV = inTex0;
    gl_Position = ViewProjection * world;
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
void main() {
    outColor = vec4(Light(mDiffuse, normalize(vNormal), vWorld), mAlpha);
}
end

technique Skinned
  pass
    vertex skinVS
    fragment textured
    depthtest on
    cull cw
  end
end
technique Skinned_NoTexture
  pass
    vertex skinVS
    fragment plain
    depthtest on
    cull cw
  end
end
