#pragma once
// The body a robot program acts on: what it can read and the three commands it can give.
// The machine calls the commands synchronously from its own step.

#include <cstdint>

#include "core/Process.h"
#include "core/Vec2.h"

namespace kv {

class KvVMachine;

class KvBaseRobot : public virtual KvObject {
public:
    virtual int32_t Drive(int32_t direction, int32_t speed) = 0;
    virtual int32_t Scan(int32_t direction, int32_t resolution) = 0;
    virtual int32_t Cannon(int32_t direction, int32_t range) = 0;

    KvVMachine* machine = nullptr;  // set by KvVMachine::AttachRobot; not owned
    double damage = 0;
    double speed = 0;
    Vec2 position;
};

}  // namespace kv
