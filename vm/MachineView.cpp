#include "vm/MachineView.h"

#include "vm/VMachine.h"

namespace kv {

KvMachineView ViewOf(const KvVMachine& machine) {
    KvMachineView view;
    view.pc = machine.Pc();
    view.line = machine.SourceLine();
    view.csp = machine.Csp();
    view.finished = machine.Finished();
    view.record = machine.Record();
    const KvDebugInfo* debug = machine.Debug().get();
    if (!debug) {
        view.frames.push_back({"", 0, view.pc});
        return view;
    }
    for (const KvDebugVariable& v : debug->variables)
        if (v.kind == KvDebugVariable::Kind::Global)
            view.globals.push_back({v.name, v.kind, machine.StackValue(v.slot)});
    for (const KvDebugVariable* v : debug->InScope(view.pc)) {
        if (v->kind == KvDebugVariable::Kind::Global) continue;
        const int32_t index = debug->StackIndex(*v, view.pc, machine.Sp());
        if (index >= 0) view.locals.push_back({v->name, v->kind, machine.StackValue(index)});
    }
    // Each caller's frame is at the CALL the call stack keeps.
    int32_t pc = view.pc;
    for (int32_t level = view.csp;; --level) {
        const KvDebugFunction* function = debug->FunctionAt(pc);
        const int32_t line = level == view.csp ? view.line : debug->LineAt(pc);
        view.frames.push_back({function ? function->name : "", line, pc});
        if (level < 0) break;
        pc = machine.CallStackValue(level);
    }
    return view;
}

}  // namespace kv
