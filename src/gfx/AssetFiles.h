// The graphics asset and state files: one word reader shared by the asset
// format (materials, effects, techniques, textures, models, cameras, fonts
// by tag) and the states format (named render states built from those
// tags). Damaged files stop with an error that names the file.
#pragma once

#include <fstream>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "utility/Geometry.h"

namespace Gfx {

class GfxEngine;
class StateMan;

class AsciiFileInput {
public:
    explicit AsciiFileInput(const std::string& fileName);
    // Reads from a stream the caller keeps (tests, fuzzing); name is for messages.
    AsciiFileInput(std::istream& in, std::string name);
    virtual ~AsciiFileInput();

    // Reads words until one equals marker; false when the input ends first.
    bool SkipToToken(const std::string& marker);
    // Reads non-blank characters until c has been read or the input ends.
    bool SkipTo(char c);
    // The text between the next "[" and "]" (blanks kept, at most 1023
    // characters); the stream fails on a longer or unclosed text.
    bool ReadBracketed(std::string& out);
    bool ReadBracketedInt(int& out);
    bool ReadBracketedFloat(float& out);
    // Three numbers separated by blanks or commas.
    bool ReadBracketedVector(Geometry::Vector3& out);

    std::istream& Stream() { return *m_in; }
    const std::string& FileName() const { return m_name; }

private:
    std::string m_name;
    std::ifstream m_file;
    std::istream* m_in;
};

struct CameraAsset {
    int tag = 0;
    float fov = 0, aspect = 0, nearPlane = 0, farPlane = 0;
    Geometry::Vector3 eye, lookAt, up;
    float pitchDivisorA = 0, pitchDivisorB = 0, minDistance = 0, maxDistance = 0;
};

struct FontAsset {
    int tag = 0;
    std::string file;  // with the section's prefix
    std::string face;
    int size = 0;
    int style = 0;  // 1 bold, 2 italics, 3 both, 0 regular
};

// Where the entries of an asset file go. The engine's sink loads resources
// into the state manager, cameras into the draw screen's camera manager and
// fonts into the screen-text manager (or to the hooks, when set).
class IAssetSink {
public:
    virtual ~IAssetSink() = default;
    virtual void Material(int tag, const Geometry::Vector3& diffuse, const Geometry::Vector3& specular,
                          const Geometry::Vector3& emissive, float power) = 0;
    // Effects and textures: false when the file did not load (the tag is still taken).
    virtual bool Effect(int tag, const std::string& path) = 0;
    virtual void Technique(int tag, const std::string& name) = 0;
    virtual bool Texture(int tag, const std::string& path) = 0;
    // Returns false when the model could not be made (the loader says which).
    virtual bool MeshModel(int tag, const std::string& path) = 0;
    virtual bool SkinnedModel(int tag, const std::string& path, int param) = 0;
    virtual bool ParticleBuffer(int tag, int quads) = 0;
    virtual bool BoxModel(int tag, const Geometry::Vector3& size, float tiling) = 0;
    virtual bool InstanceModel(int tag, int sourceTag, int copies) = 0;
    virtual void Camera(const CameraAsset& camera) = 0;
    virtual void Font(const FontAsset& font) = 0;
};

class EngineAssetSink : public IAssetSink {
public:
    explicit EngineAssetSink(GfxEngine& engine);
    std::function<void(const CameraAsset&)> onCamera;
    std::function<void(const FontAsset&)> onFont;

    void Material(int tag, const Geometry::Vector3& diffuse, const Geometry::Vector3& specular,
                  const Geometry::Vector3& emissive, float power) override;
    bool Effect(int tag, const std::string& path) override;
    void Technique(int tag, const std::string& name) override;
    bool Texture(int tag, const std::string& path) override;
    bool MeshModel(int tag, const std::string& path) override;
    bool SkinnedModel(int tag, const std::string& path, int param) override;
    bool ParticleBuffer(int tag, int quads) override;
    bool BoxModel(int tag, const Geometry::Vector3& size, float tiling) override;
    bool InstanceModel(int tag, int sourceTag, int copies) override;
    void Camera(const CameraAsset& camera) override;
    void Font(const FontAsset& font) override;

private:
    GfxEngine& m_engine;
};

// Problems found while reading, each naming the file; also logged.
using AssetProblems = std::vector<std::string>;

class GfxLevelLoader {
public:
    explicit GfxLevelLoader(AsciiFileInput& input) : m_input(input) {}
    // True when every section was found and read to its end marker.
    bool Load(IAssetSink& sink, AssetProblems* problems = nullptr);

private:
    AsciiFileInput& m_input;
};

class GfxStateLoader {
public:
    explicit GfxStateLoader(AsciiFileInput& input) : m_input(input) {}
    // Adds the file's states to the manager (a state tag again replaces the
    // state). Tags the manager lacks are warned there and left unset.
    bool Load(StateMan& states, AssetProblems* problems = nullptr);

private:
    AsciiFileInput& m_input;
};

// The files in the order the view reads them.
constexpr const char* kLoadingAssetsFile = "Config/Graphics/gfxLoadingAssets.ini";
constexpr const char* kLoadingStatesFile = "Config/Graphics/gfxObjStatesLoading.ini";
constexpr const char* kGameAssetsFile = "Config/Graphics/gfxGameAssets.ini";
constexpr const char* kGameStatesFile = "Config/Graphics/gfxObjStates.ini";

// Reads an asset file and then a states file into the engine.
bool LoadAssetFile(const std::string& path, IAssetSink& sink, AssetProblems* problems = nullptr);
bool LoadStateFile(const std::string& path, StateMan& states, AssetProblems* problems = nullptr);

}  // namespace Gfx
