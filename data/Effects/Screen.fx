# Screen-space quads (menus, buttons, HUD, cursor, speech bubbles): the world
# matrix places a unit quad in fractions of the screen, x right and y down.
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

vertex screenVS
in vec3 inPosition;
in vec2 inTex0;
out vec2 vUV;
void main() {
    vec4 p = World * vec4(inPosition, 1.0);
    vUV = inTex0;
    gl_Position = vec4(p.x * 2.0 - 1.0, 1.0 - p.y * 2.0, 0.0, 1.0);
}
end

fragment textured
in vec2 vUV;
out vec4 outColor;
void main() {
    vec4 t = texture(Tex, vUV);
    outColor = vec4(t.rgb, t.a * mAlpha);
}
end

fragment plain
in vec2 vUV;
out vec4 outColor;
void main() { outColor = vec4(mDiffuse, mAlpha); }
end

technique Screen
  pass
    vertex screenVS
    fragment textured
    depthtest off
    depthwrite off
    cull none
  end
end
technique Screen_NoTexture
  pass
    vertex screenVS
    fragment plain
    depthtest off
    depthwrite off
    cull none
  end
end
