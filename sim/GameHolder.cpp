#include "sim/GameHolder.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "core/Angles.h"
#include "core/Random.h"
#include "lang/RobotCompiler.h"
#include "sim/Collision.h"
#include "sim/Rocket.h"
#include "vm/VMachine.h"

namespace kv {

namespace {

double Distance(Vec2 a, Vec2 b) { return (a - b).Length(); }

}  // namespace

KvGameHolder::KvGameHolder(ProcessScheduler& scheduler, KvHeightField& ground, KvBattlePresenter* presenter)
    : KvProcess(false), scheduler_(scheduler), ground_(ground), presenter_(presenter) {}

KvGameHolder::~KvGameHolder() { Clear(); }

void KvGameHolder::Fail(const KvString& message) {
    setupError_ = message;
    if (presenter_) presenter_->ShowSetupError(message);
    throw Abandon{};
}

RobotChoices ChoicesOf(const std::vector<KvFile>& files) {
    RobotChoices choices;
    for (size_t k = 0; k < choices.size(); ++k) {
        const bool chosen = k < files.size();
        choices[k] = {chosen, static_cast<int32_t>(k), chosen ? files[k] : KvFile(), std::nullopt};
    }
    return choices;
}

void ReadSources(RobotChoices& choices) {
    for (RobotChoice& choice : choices) {
        if (!choice.enabled || choice.source) continue;
        std::string text;
        KvString message;
        if (RobotCompiler::ReadFile(choice.path, text, message)) choice.source = std::move(text);
    }
}

bool KvGameHolder::SetupBattle() {
    assert(!scheduler_.InTick() && scheduler_.OwnsSimulation() && "battle set up inside a tick or while ticks run");
    robotCooldown.fill(0);
    collided.fill(false);
    nearestBound_ = -1;
    reachDt_ = -1;  // the geometry may have changed
    lastDt_ = 0;
    holding_ = true;
    battleTime_.store(0, std::memory_order_relaxed);
    timeSum_ = KvKahanSum();
    ground_.GenerateHills();

    int enabled = 0;
    for (const RobotChoice& choice : choices) enabled += choice.enabled ? 1 : 0;
    if (enabled < 1) {
        setupError_ = "Too few robots for battle";
        if (presenter_) presenter_->ShowSetupError(setupError_);
        return false;
    }

    setupError_ = KvString();
    try {
        for (int slot = 0; slot < kMaxRobots; ++slot) {
            const RobotChoice& choice = choices[slot];
            if (!choice.enabled) continue;
            CompileResult compiled =
                choice.source ? RobotCompiler::CompileText(*choice.source) : RobotCompiler::CompileFile(choice.path);
            // A file that cannot be read has a message of its own; a compile error names the file.
            if (compiled.errorCode < 0) Fail(compiled.message);
            if (!compiled.Ok()) {
                Fail(KvString().Format("Error, while compiling file %s:\n%s", choice.path.CStr(),
                                       compiled.message.CStr()));
            }

            auto* robot = new KvGLRobot(choice.path.FileName(), choice.colour);
            robots.push_back(robot);
            // y first, then x; both again while too close to a robot placed before.
            Vec2 start;
            for (;;) {
                start.y = NextRandom() % 1000;
                start.x = NextRandom() % 1000;
                bool clear = true;
                for (KvGLRobot* other : robots) {
                    if (other != robot && Distance(start, other->position) < kMinStartDistance) clear = false;
                }
                if (clear) break;
            }
            robot->SetPosition(start);
            robot->SetHolder(this);
            robot->SetPublishing(publishing_);

            auto* machine = new KvVMachine();
            machines.push_back(machine);
            retiredRecords.emplace_back();
            machine->Load(std::move(*compiled.program));
            machine->AttachRobot(robot);
            robotSlots.push_back(slot);
        }
    } catch (const Abandon&) {
        for (KvGLRobot* robot : robots) delete robot;
        for (KvVMachine* machine : machines) delete machine;
        robots.clear();
        machines.clear();
        retiredRecords.clear();
        robotSlots.clear();
        return false;
    }

    for (size_t k = 0; k < robots.size(); ++k) {
        Add(robots[k]);
        Add(machines[k]);
        // Added at the end of the first tick, a machine first steps in the second.
        machines[k]->StartsAfterTicks(1);
        machines[k]->SetBattleClock(&timeSum_);
        if (presenter_) presenter_->RobotAdded(*robots[k]);
    }
    return true;
}

void KvGameHolder::Clear() {
    assert(!scheduler_.InTick() && scheduler_.OwnsSimulation() && "battle cleared inside a tick or while ticks run");
    if (presenter_) ClearedHooks();
    for (KvProcess* p : retired) {
        scheduler_.Forget(p);
        delete p;
    }
    retired.clear();
    robots.clear();
    deaths_.store(0, std::memory_order_relaxed);
    machines.clear();
    retiredRecords.clear();
    robotSlots.clear();
    // Forget takes a process out of the active set like an immediate Remove, and also out of
    // the pending sets, where a battle cleared before its first tick still waits.
    for (KvProcess* p : objects) {
        scheduler_.Forget(p);
        delete p;
    }
    objects.clear();
}

void KvGameHolder::ClearedHooks() {
    for (KvGLRobot* robot : robots) presenter_->RobotCleared(*robot);
    // Only shells in flight are left: an exploded one was deleted at the end of its tick.
    for (KvProcess* p : objects) {
        if (auto* rocket = dynamic_cast<KvRocket*>(p)) presenter_->ShellCleared(*rocket);
    }
    auto ownProcess = [&](KvProcess* p) {
        const bool robot = std::find(robots.begin(), robots.end(), p) != robots.end();
        const bool machine = std::find(machines.begin(), machines.end(), p) != machines.end();
        return robot || machine || dynamic_cast<KvRocket*>(p);
    };
    for (const ProcessSet* set : {&retired, &objects}) {
        for (KvProcess* p : *set) {
            if (!ownProcess(p)) presenter_->ProcessCleared(*p);
        }
    }
}

KvBattlePresenter* KvGameHolder::Presenter() const {
    assert(scheduler_.OwnsSimulation() && "tick hook called while the worker may be ticking");
    return presenter_;
}

void KvGameHolder::Add(KvProcess* process) {
    scheduler_.Add(process, true, false);
    objects.insert(process);
}

void KvGameHolder::Remove(KvProcess* process, bool deleteIt) {
    if (!objects.erase(process)) return;
    scheduler_.Remove(process, true, false, deleteIt);
    if (!deleteIt) retired.insert(process);
}

void KvGameHolder::Retire(KvGLRobot& robot) {
    deaths_.store(deaths_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    if (KvVMachine* machine = robot.machine) {
        for (size_t k = 0; k < machines.size(); ++k) {
            if (machines[k] == machine) {
                if (retiredRecords.size() < machines.size()) retiredRecords.resize(machines.size());
                retiredRecords[k] = machine->Record();
                machines[k] = nullptr;
            }
        }
        robot.machine = nullptr;
        Remove(machine, true);
    }
    Remove(&robot, false);
}

int32_t KvGameHolder::Scan(const KvGLRobot& robot, int32_t direction, int32_t resolution) const {
    double best = 10000;
    bool found = false;
    for (const KvGLRobot* other : robots) {
        if (other == &robot || other->dead) continue;
        const Vec2 d = other->position - robot.position;
        const double bearing = Degrees(std::atan2(d.y, d.x));
        // The short way round: an arc across 180 degrees is not cut there.
        double off = std::fmod(std::fabs(bearing - direction), 360.0);
        if (off > 180) off = 360 - off;
        if (off > resolution) continue;
        const double length = d.Length();
        if (length < best) {
            best = length;
            found = true;
        }
    }
    return found ? static_cast<int32_t>(best) : 0;
}

void KvGameHolder::Explode(Vec2 point) {
    const KvVec3 scenePoint = ScenePoint(point);
    // The mark's rotation is drawn with or without a scene, so a battle's random numbers do
    // not depend on what is shown.
    const double rotation = NextRandom() * 2 * kPi / 32767;
    if (KvBattlePresenter* presenter = Presenter()) presenter->Explosion(scenePoint, rotation);
    for (KvGLRobot* robot : robots) {
        if (robot->dead) continue;
        const double d = Distance(robot->position, point);
        const int32_t damage = d <= 5 ? 10 : d <= 20 ? 5 : d <= 40 ? 3 : 0;
        if (damage > 0) robot->ApplyDamage(damage);
    }
}

void KvGameHolder::Step(double dt) {
    timeSum_.Add(dt);
    battleTime_.store(timeSum_.value, std::memory_order_relaxed);

    collided.fill(false);
    // Robots move only in their steps, each by at most the top speed times the dt of its
    // tick (this one's or, stepped before the session, the last one's): the nearest pair
    // closes in by at most that, and pairs beyond the reach cannot touch yet.
    const double maxDt = std::max(dt, lastDt_);
    nearestBound_ -= kMaxClosing * maxDt;
    lastDt_ = dt;
    bool touching = false;
    if (nearestBound_ < PairReach(maxDt) || robots.size() != checkedRobots_) touching = CheckPairs();
    if (touching || holding_) Hold(dt);
}

bool KvGameHolder::CheckPairs() {
    // Only robots closer than the broad test need their footprints: where each is, will be
    // after one more step at its last dt and would be after two, turned to its heading.
    struct Footprint {
        Vec2 next, ahead, heading;
        explicit Footprint(const KvGLRobot& r) : next(r.NextPosition()), heading(r.HeadingVector()) {
            ahead = r.position + (next - r.position) * 2;
        }
    };
    const size_t n = robots.size();
    checkedRobots_ = n;
    const Vec2 size{geometry_.width, geometry_.length};
    double nearest = kFarAway;
    bool touching = false;
    for (size_t i = 0; i < n; ++i) {
        const KvGLRobot& a = *robots[i];
        if (a.dead) continue;
        for (size_t j = i + 1; j < n; ++j) {
            const KvGLRobot& b = *robots[j];
            if (b.dead) continue;
            const Vec2 gap = a.position - b.position;
            const double manhattan = std::fabs(gap.x) + std::fabs(gap.y);
            nearest = std::min(nearest, manhattan);
            if (manhattan >= kBroadTest) continue;
            if (FarApart(a.NextPosition(), size, b.NextPosition(), size)) continue;  // as RectOverlap would find
            const Footprint fa(a), fb(b);
            if (RectOverlap(fa.next, fa.heading, size, fb.next, fb.heading, size) &&
                RectOverlap(fa.ahead, fa.heading, size, fb.ahead, fb.heading, size)) {
                collided[i] = collided[j] = true;
                touching = true;
            }
        }
    }
    // A margin far above the rounding of positions below 1000.
    nearestBound_ = nearest - 1e-6;
    return touching;
}

double KvGameHolder::PairReach(double maxDt) {
    if (maxDt == reachDt_) return reach_;
    // Footprints meet only within TouchReach of their next positions, each at most the top
    // speed times its dt from where it is; a Manhattan distance is at most sqrt 2 times the
    // straight one. Pairs at the broad test or beyond are never looked at.
    const Vec2 size{geometry_.width, geometry_.length};
    const double straight = TouchReach(size, size) + 2 * kTopSpeed * maxDt;
    reachDt_ = maxDt;
    reach_ = std::min(kBroadTest, std::sqrt(2.0) * straight * (1 + 1e-9) + 1e-6);
    return reach_;
}

void KvGameHolder::Hold(double dt) {
    holding_ = false;
    for (size_t i = 0; i < robots.size(); ++i) {
        KvGLRobot& r = *robots[i];
        if (collided[i]) {
            r.speed = r.desiredSpeed = r.accelSign = 0;
            r.canMove = 0.0;
            r.Wake();
            if (robotCooldown[i] <= 0) {
                if (KvBattlePresenter* presenter = Presenter()) presenter->Collision(r, ScenePoint(r.position));
                r.ApplyDamage(KvGLRobot::kCollisionDamage);
                robotCooldown[i] = KvGLRobot::kCollisionCooldown;
            }
        } else {
            r.canMove = 1.0;
        }
        if (robotCooldown[i] > 0) robotCooldown[i] -= dt;
        holding_ = holding_ || collided[i] || robotCooldown[i] > 0;
    }
}

KvVec3 KvGameHolder::ScenePoint(Vec2 p) const {
    const double x = SceneX(p.x), z = SceneZ(p.y);
    return {x, ground_.HeightAt(x, z), z};
}

int KvGameHolder::AliveCount() const {
    return static_cast<int>(robots.size()) - deaths_.load(std::memory_order_relaxed);
}

}  // namespace kv
