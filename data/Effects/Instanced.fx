# Many copies of one mesh in one draw (the level's blocks): each vertex
# carries its copy's index, which picks the copy's place, size, turn and
# colour from the arrays the batch fills.
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

param float4 PositionArray[45]
param float4 ScaleArray[45]
param float4 OrientationArray[45]
param float4 ColorArray[45]

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

vertex instVS
in vec3 inPosition;
in vec3 inNormal;
in vec2 inTex0;
in float inTex1;
out vec3 vNormal;
out vec3 vWorld;
out vec2 vUV;
out vec4 vColor;
// q holds (w, x, y, z).
vec3 Rotate(vec4 q, vec3 v) {
    vec3 u = q.yzw;
    return v + 2.0 * cross(u, cross(u, v) + q.x * v);
}
void main() {
    int i = clamp(int(inTex1 + 0.5), 0, 44);
    vec3 w = PositionArray[i].xyz + Rotate(OrientationArray[i], ScaleArray[i].xyz * inPosition);
    vWorld = w;
    vNormal = normalize(Rotate(OrientationArray[i], inNormal));
    vUV = inTex0;
    vColor = ColorArray[i];
    gl_Position = ViewProjection * vec4(w, 1.0);
}
end

fragment textured
in vec3 vNormal;
in vec3 vWorld;
in vec2 vUV;
in vec4 vColor;
out vec4 outColor;
void main() {
    vec4 t = texture(Tex, vUV);
    outColor = vec4(Light(t.rgb * vColor.rgb, normalize(vNormal), vWorld), t.a * vColor.a);
}
end

fragment plain
in vec3 vNormal;
in vec3 vWorld;
in vec2 vUV;
in vec4 vColor;
out vec4 outColor;
void main() {
    outColor = vec4(Light(vColor.rgb, normalize(vNormal), vWorld), vColor.a);
}
end

technique Instanced
  pass
    vertex instVS
    fragment textured
    depthtest on
    cull cw
  end
end
technique Instanced_NoTexture
  pass
    vertex instVS
    fragment plain
    depthtest on
    cull cw
  end
end
