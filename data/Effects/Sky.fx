# The sky box: six faces around the camera, unlit, seen from inside, behind
# everything (it writes no depth).
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

param float4x4 WorldViewProj : WORLDVIEWPROJ

vertex skyVS
in vec3 inPosition;
in vec2 inTex0;
out vec2 vUV;
void main() {
    vUV = inTex0;
    gl_Position = WorldViewProj * vec4(inPosition, 1.0);
}
end

fragment textured
in vec2 vUV;
out vec4 outColor;
void main() { outColor = vec4(texture(Tex, vUV).rgb, 1.0); }
end

fragment plain
in vec2 vUV;
out vec4 outColor;
void main() { outColor = vec4(mDiffuse, 1.0); }
end

technique Sky
  pass
    vertex skyVS
    fragment textured
    depthtest off
    depthwrite off
    cull none
    blend off
  end
end
technique Sky_NoTexture
  pass
    vertex skyVS
    fragment plain
    depthtest off
    depthwrite off
    cull none
    blend off
  end
end
