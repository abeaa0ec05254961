# Particle quads: each corner turned by the particle's angle, scaled, and
# laid in the camera's plane around the particle's position (in the system's
# space: World places and turns it). The state's
# technique gets _BlendAdd or _BlendModulate from the particle system's blend
# mode, and _NoTexture without a texture.
# Overlay systems (the HUD's effects) take the _Overlay techniques instead
# (technique _Overlay then the blend suffix): their positions are fractions of
# the screen like the UI quads' (x right, y down, no camera), a quad of scale 1
# is 0.2 of the screen's height on each side (kept square by ScreenAspect,
# width over height), and they are drawn over everything, without depth test.
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
param float ScreenAspect = 1.333333

vertex particleVS
in vec3 inPosition;
in vec4 inColor;
in vec2 inTex0;
in vec2 inTex1;
in vec3 inTex2;
in vec2 inTex3;
out vec4 vColor;
out vec2 vUV;
void main() {
    vec2 c = inPosition.xy * inTex3;
    vec2 r = vec2(c.x * inTex1.x - c.y * inTex1.y, c.x * inTex1.y + c.y * inTex1.x);
    vec3 w = (World * vec4(inTex2, 1.0)).xyz + CameraSide * r.x + CameraUp * r.y;
    vColor = inColor;
    vUV = inTex0;
    gl_Position = ViewProjection * vec4(w, 1.0);
}
end

vertex overlayVS
in vec3 inPosition;
in vec4 inColor;
in vec2 inTex0;
in vec2 inTex1;
in vec3 inTex2;
in vec2 inTex3;
out vec4 vColor;
out vec2 vUV;
void main() {
    vec2 c = inPosition.xy * inTex3;
    vec2 r = vec2(c.x * inTex1.x - c.y * inTex1.y, c.x * inTex1.y + c.y * inTex1.x);
    vec3 s = (World * vec4(inTex2, 1.0)).xyz;
    vec2 p = s.xy + vec2(r.x / max(ScreenAspect, 0.01), -r.y);
    vColor = inColor;
    vUV = inTex0;
    gl_Position = vec4(p.x * 2.0 - 1.0, 1.0 - p.y * 2.0, 0.0, 1.0);
}
end

fragment textured
in vec4 vColor;
in vec2 vUV;
out vec4 outColor;
void main() { outColor = texture(Tex, vUV) * vColor * vec4(1.0, 1.0, 1.0, mAlpha); }
end

fragment plain
in vec4 vColor;
in vec2 vUV;
out vec4 outColor;
void main() { outColor = vColor * vec4(1.0, 1.0, 1.0, mAlpha); }
end

technique Particle
  pass
    vertex particleVS
    fragment textured
    blend alpha
    depthtest on
    depthwrite off
    cull none
  end
end

technique Particle_NoTexture
  pass
    vertex particleVS
    fragment plain
    blend alpha
    depthtest on
    depthwrite off
    cull none
  end
end

technique Particle_BlendAdd
  pass
    vertex particleVS
    fragment textured
    blend add
    depthtest on
    depthwrite off
    cull none
  end
end

technique Particle_BlendAdd_NoTexture
  pass
    vertex particleVS
    fragment plain
    blend add
    depthtest on
    depthwrite off
    cull none
  end
end

technique Particle_BlendModulate
  pass
    vertex particleVS
    fragment textured
    blend modulate
    depthtest on
    depthwrite off
    cull none
  end
end

technique Particle_BlendModulate_NoTexture
  pass
    vertex particleVS
    fragment plain
    blend modulate
    depthtest on
    depthwrite off
    cull none
  end
end

technique Particle_Overlay
  pass
    vertex overlayVS
    fragment textured
    blend alpha
    depthtest off
    depthwrite off
    cull none
  end
end

technique Particle_Overlay_NoTexture
  pass
    vertex overlayVS
    fragment plain
    blend alpha
    depthtest off
    depthwrite off
    cull none
  end
end

technique Particle_Overlay_BlendAdd
  pass
    vertex overlayVS
    fragment textured
    blend add
    depthtest off
    depthwrite off
    cull none
  end
end

technique Particle_Overlay_BlendAdd_NoTexture
  pass
    vertex overlayVS
    fragment plain
    blend add
    depthtest off
    depthwrite off
    cull none
  end
end

technique Particle_Overlay_BlendModulate
  pass
    vertex overlayVS
    fragment textured
    blend modulate
    depthtest off
    depthwrite off
    cull none
  end
end

technique Particle_Overlay_BlendModulate_NoTexture
  pass
    vertex overlayVS
    fragment plain
    blend modulate
    depthtest off
    depthwrite off
    cull none
  end
end
