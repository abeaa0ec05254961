# See-through world objects: drawn after the opaque ones, blended by the
# render queue, without writing depth so what lies behind still shows.
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
param float4x4 WorldViewProj : WORLDVIEWPROJ

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

vertex meshVS
in vec3 inPosition;
in vec3 inNormal;
in vec2 inTex0;
out vec3 vNormal;
out vec3 vWorld;
out vec2 vUV;
void main() {
    vWorld = (World * vec4(inPosition, 1.0)).xyz;
    vNormal = normalize(mat3(World) * inNormal);
    vUV = inTex0;
    gl_Position = WorldViewProj * vec4(inPosition, 1.0);
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

technique Mesh
  pass
    vertex meshVS
    fragment textured
    depthtest on
    depthwrite off
    cull cw
  end
end
technique Mesh_NoTexture
  pass
    vertex meshVS
    fragment plain
    depthtest on
    depthwrite off
    cull cw
  end
end
