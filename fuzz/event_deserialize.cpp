// Reads random bytes as the payload of every event class, through a
// prototype as the network does: no read past the input, no crash, and an
// accepted payload is exactly what the event writes back, while every
// shorter cut of it is refused (null), never passed on as a success.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "events/ByteStream.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/NetworkEvents.h"
#include "events/types/ViewEvents.h"

namespace {

using EvPtr = std::shared_ptr<EventSystem::IEvent>;
using Geometry::Vector3;

template <class E, class... A>
std::function<EvPtr()> P(A... args) {
    return [=] { return std::make_shared<E>(args...); };
}

// One prototype per class; the classes without a prototype constructor are
// built with throwaway values (reading replaces them).
const std::vector<std::function<EvPtr()>>& Prototypes() {
    using namespace EventTypes;
    using namespace Networking;
    using namespace Input;
    static const std::vector<std::function<EvPtr()>> all = {
        // commands
        P<EventCommandActorMove>(), P<EventCommandActorJump>(), P<EventCommandActorTurn>(),
        P<EventCommandPickUpBlock>(), P<EventCommandThrowBlock>(), P<EventCommandPlaceBlock>(),
        P<EventHackActorView>(), P<EventCommandWhistle>(), P<EventCommandCreateBlock>(Vector3()),
        P<EventDrawPath>(Vector3(), Vector3()), P<EventUpdateInitializeGameLogic>(), P<EventSetupMultiplayer>(),
        P<EventShutDownNetLogic>(), P<EventShutDownNetView>(),
        // actors, blocks, physics
        P<EventUpdateCreateActor>(), P<EventUpdateDeleteActor>(), P<EventUpdateGameIDs>(), P<EventUpdateStartGame>(),
        P<EventUpdateActorMove>(), P<EventForcedActorUpdate>(),
        P<EventUpdateCollision>(0, 0.0f, Vector3(), Vector3(), int16_t(0), 0.0f, int16_t(0), 0.0f),
        P<EventUpdateCollisionToClient>(), P<EventUpdatePlaceBlock>(),
        P<EventUpdateDetachBlock>(int16_t(0), Vector3(), Vector3()), P<EventUpdatePickUpBlock>(),
        P<EventUpdateThrowBlock>(), P<EventUpdateBlockActive>(), P<EventUpdateBlockFade>(int16_t(0)),
        P<EventUpdateExplosion>(), P<EventUpdateJump>(), P<EventUpdateActorSpawn>(), P<EventUpdateActorDeath>(),
        P<EventUpdateHeldBlocks>(), P<EventUpdateInitializeGameView>(), P<EventUpdateBotFollowPlayer>(),
        P<EventCommandCreateSpeechBubble>(int16_t(0), std::string("x"), uint8_t(0), int32_t(0), uint8_t(0)),
        // flags and match
        P<EventUpdateFlagGrabbed>(), P<EventUpdateFlagDropped>(), P<EventUpdateFlagCaptured>(),
        P<EventUpdateFlagRecovered>(), P<EventUpdateFlagStatus>(), P<EventUpdateCapPtCreated>(Vector3(), uint8_t(0)),
        P<EventUpdateTeamVictory>(), P<EventUpdateGameOver>(),
        // network control
        P<EventServerBroadcast>(), P<EventClientConnect>(), P<EventAssignClientID>(), P<EventClientIsAlive>(),
        P<EventClientToBot>(int16_t(0), uint8_t(0)),
        P<EventUpdateServerList>(std::string(), uint8_t(0), uint8_t(0), uint8_t(0), int32_t(0), sockaddr_in{}),
        P<EventConnectToServer>(int32_t(0), sockaddr_in{}), P<TestEvent>(),
        // input
        P<EventIsPressed>(std::string()), P<EventIsHeld>(std::string()), P<EventIsReleased>(std::string()),
        P<EventMouseMove>(int32_t(0), int32_t(0), int32_t(0)), P<EventAsciiKey>(uint8_t(0)),
        P<EventMoveDir>(0.0f, 0.0f, 0.0f),
        // view, screen, power
        P<EventCreateEffect>(std::string(), Vector3(), Vector3(), uint8_t(0)),
        P<EventCreateCue>(std::string(), int32_t(0), uint8_t(0)), P<EventScreenOpen>(int32_t(0)),
        P<EventScreenClose>(), P<EventCreateMainMenu>(), P<EventCreateInGameMenu>(), P<EventCreateStartGameMenu>(),
        P<EventCreateJoinGameMenu>(), P<EventCreateOptionsMenu>(), P<EventCreateCreditsMenu>(),
        P<EventCreateWinScreen>(uint8_t(0)), P<EventUpdateKeepPlaying>(), P<EventJoinSelectedGame>(),
        P<EventPowerSuspend>(), P<EventPowerUpdate>(), P<EventPowerSuspendResume>(uint8_t(0)),
    };
    return all;
}

// Reads from a heap block of exactly the given bytes, so the address
// sanitizer sees any read past its end.
EvPtr ReadFrom(EventSystem::IEvent& proto, const uint8_t* data, size_t n, uint32_t* consumed, bool* failed) {
    std::unique_ptr<uint8_t[]> block(new uint8_t[n ? n : 1]);
    if (n) std::memcpy(block.get(), data, n);
    EventSystem::ByteReader r(block.get(), static_cast<uint32_t>(n));
    EvPtr e = proto.Deserialize(r);
    if (r.GetBytesRead() > n) std::abort();
    *consumed = r.GetBytesRead();
    *failed = r.HasFailed();
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto& protos = Prototypes();
    if (protos.size() != 74) std::abort();
    if (size < 1) return 0;
    const EvPtr proto = protos[data[0] % protos.size()]();
    const uint8_t* payload = data + 1;
    const size_t n = size - 1;

    uint32_t consumed = 0;
    bool failed = false;
    const EvPtr got = ReadFrom(*proto, payload, n, &consumed, &failed);
    if (!got) {
        if (!failed) std::abort();  // a refusal always comes from running out of input
        return 0;
    }
    if (failed) std::abort();  // a failed read must not be passed on
    if (got->GetTypeHash() != proto->GetTypeHash()) std::abort();

    // What was accepted is exactly what the event writes back.
    std::vector<uint8_t> out(n + 16);
    EventSystem::ByteWriter w(out.data(), static_cast<uint32_t>(out.size()));
    got->Serialize(w);
    if (w.HasOverflowed() || w.GetSize() != consumed) std::abort();
    if (consumed && std::memcmp(out.data(), payload, consumed) != 0) std::abort();

    // Any cut of the accepted payload is refused.
    if (consumed > 0) {
        const EvPtr again = protos[data[0] % protos.size()]();
        uint32_t c2 = 0;
        bool f2 = false;
        const size_t cut = payload[0] % consumed;  // 0 .. consumed - 1
        if (ReadFrom(*again, payload, cut, &c2, &f2) != nullptr) std::abort();
    }
    return 0;
}
