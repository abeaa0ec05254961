#include "ai/sml/Msg.h"

const char* GetMsgName(int32_t id) {
    static const char* const kNames[] = {
        "MSG_NULL",
        "MSG_CHANGE_STATE_DELAYED",
        "MSG_CHANGE_SUBSTATE_DELAYED",
        "MSG_SEARCH_FAILURE",
        "MSG_SEARCH_SUCCESS",
        "MSG_BUILDPOS_SUCCESS",
        "MSG_ABORT_BLOCK",
        "MSG_PICKUP_CONFIRMATION",
        "MSG_PLACE_CONFIRMATION",
        "MSG_PLACE_FAILURE",
        "MSG_CHANGE_STATE",
        "MSG_CHANGE_SUBSTATE",
        "MSG_ACTOR_COLLISION",
        "MSG_SEARCHSPACE_ALTERED",
        "MSG_ATTACK_DELAY_OVER",
        "MSG_FIND_NEW_GUARD_POS",
        "MSG_TIMER_UP",
    };
    if (id < 0 || id >= static_cast<int32_t>(sizeof(kNames) / sizeof(kNames[0]))) return "Invalid";
    return kNames[id];
}
