// The message record of the state-machine layer: what the router queues and
// hands to a bot's top machine, with the ids the behaviours talk in.
#pragma once

#include <cstdint>

enum MsgId : int32_t {
    MSG_NULL = 0,
    MSG_CHANGE_STATE_DELAYED = 1,
    MSG_CHANGE_SUBSTATE_DELAYED = 2,
    MSG_SEARCH_FAILURE = 3,
    MSG_SEARCH_SUCCESS = 4,
    MSG_BUILDPOS_SUCCESS = 5,
    MSG_ABORT_BLOCK = 6,
    MSG_PICKUP_CONFIRMATION = 7,
    MSG_PLACE_CONFIRMATION = 8,
    MSG_PLACE_FAILURE = 9,
    MSG_CHANGE_STATE = 10,
    MSG_CHANGE_SUBSTATE = 11,
    MSG_ACTOR_COLLISION = 12,
    MSG_SEARCHSPACE_ALTERED = 13,
    MSG_ATTACK_DELAY_OVER = 14,
    MSG_FIND_NEW_GUARD_POS = 15,
    MSG_TIMER_UP = 16,
};

// How a message is tied to the receiver's top machine.
enum MsgScope : int32_t {
    SCOPE_NONE = 0,          // always delivered
    SCOPE_STATE = 1,         // the state-change count must still equal the key
    SCOPE_STATE_OR_SUB = 2,  // the change count (states and substates) must still equal the key
};

struct Msg {
    int32_t id = MSG_NULL;
    uint16_t sender = 0;
    uint16_t receiver = 0;
    int32_t scopeKey = 0;
    int32_t scope = SCOPE_NONE;
    int32_t data1 = 0;
    int32_t data2 = 0;
    uint64_t deliveryTime = 0;
    bool delivered = false;
};

// "MSG_SEARCH_SUCCESS" and so on; "Invalid" for an unknown id.
const char* GetMsgName(int32_t id);
