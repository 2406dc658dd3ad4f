#pragma once
// Roots of the simulation classes. Every class deriving from KvObject does so virtually,
// so an object that is both a robot body and a process holds one KvObject.

#include "core/KvString.h"

namespace kv {

class KvObject {
public:
    virtual ~KvObject() = default;
    KvString name;
};

// Anything that changes with time; stepped once per scheduler tick with the elapsed seconds.
class KvProcess : public virtual KvObject {
public:
    explicit KvProcess(bool deleteOnRemove) : deleteOnRemove(deleteOnRemove) {}
    virtual void Step(double dt) = 0;
    bool deleteOnRemove;
};

}  // namespace kv
