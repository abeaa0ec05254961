// The text-effect manager: every text effect read from the effect file by
// name, the factory of text objects, and the runners of the effects playing
// now. The human view drives it once a frame (UpdateTextEffects), also while
// the game is paused, since menus over a paused game animate.
#pragma once

#include <list>
#include <map>
#include <memory>
#include <string>

#include "screens/TextEffectSystem.h"

namespace GameLogicView {

class TextObj;
class TextEffectSystemRunner;

class TextMan {
public:
    static TextMan& Instance();

    // Stops every runner, forgets every system, reads the file (a file that
    // cannot be read leaves no systems). False when it cannot be read.
    bool LoadEffects(const std::string& fileName);
    // The same from text in memory (tests, tools).
    void LoadEffectsText(const std::string& text, const std::string& name = "<text>");
    void AddEffectSystem(const TextEffectSystem& system);
    const TextEffectSystem* FindEffectSystem(const std::string& name) const;

    std::shared_ptr<TextObj> CreateTextObj();
    // The object is returned whether or not the effect exists.
    std::shared_ptr<TextObj> CreateTextObjWithEffect(const std::string& effect);
    // Stops the object's effect, then starts the named one; empty (and a
    // warning) when no effect has that name.
    std::shared_ptr<TextEffectSystemRunner> RunEffect(const std::shared_ptr<TextObj>& text, const std::string& effect);
    void StopEffect(const std::shared_ptr<TextObj>& text);
    // Advances every runner; finished ones are dropped.
    void Update(unsigned ms);
    // Stops and forgets every runner; the systems stay.
    void Clear();

    size_t RunnerCount() const { return m_runners.size(); }
    size_t SystemCount() const { return m_systems.size(); }

private:
    TextMan() = default;
    ~TextMan();
    TextMan(const TextMan&) = delete;
    TextMan& operator=(const TextMan&) = delete;

    using RunnerList = std::list<std::shared_ptr<TextEffectSystemRunner>>;
    std::map<std::string, TextEffectSystem> m_systems;
    RunnerList m_runners;
    std::map<std::shared_ptr<TextObj>, RunnerList::iterator> m_index;
};

// Forwarders to the manager.
std::shared_ptr<TextObj> CreateTextObj();
std::shared_ptr<TextObj> CreateTextObjWithEffect(const std::string& effect);
std::shared_ptr<TextEffectSystemRunner> RunTextEffect(const std::shared_ptr<TextObj>& text, const std::string& effect);
bool LoadTextEffects(const std::string& fileName);
void ClearTextEffects();
// The human view's hook: once per frame with the frame's milliseconds,
// whether or not the game is paused.
void UpdateTextEffects(unsigned ms);

}  // namespace GameLogicView
