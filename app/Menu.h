#pragma once
// The menu bar as data: every item of the four pop-ups in the order shown, with its command
// id and text, and whether a separator follows it. The window builds its menus from this
// table and hands the ids of chosen items back to the application. A text's part after a tab
// names the item's key; the game window handles the keys itself (they work while the 3D
// view has the keyboard).

#include <cstdint>
#include <string_view>

namespace kv {

enum class MenuPopup { File, Setup, Battle, Help };

// X(popup, command, id, text, separator after it)
#define KV_MENU_ITEMS(X)                                                   \
    X(File, New, 40001, "New", false)                                      \
    X(File, Restart, 40002, "Restart", false)                              \
    X(File, OpenBattle, 40021, "Open battle...", false)                    \
    X(File, SaveBattle, 40022, "Save battle...", true)                     \
    X(File, Exit, 40003, "Exit", false)                                    \
    X(Setup, SoundOn, 40014, "Sound on", true)                             \
    X(Setup, VSync, 40006, "VSync", true)                                  \
    X(Setup, ShadowOff, 40007, "Shadow off", false)                        \
    X(Setup, ShadowMap, 40008, "Shadow map", false)                        \
    X(Setup, ShadowStencil, 40009, "Shadow stencil", true)                 \
    X(Setup, OneViewActive, 40010, "One robot view active", false)         \
    X(Setup, AllViewsActive, 40011, "All robot views active", true)        \
    X(Setup, ShowSplash, 40013, "Show splash at startup", false)           \
    X(Battle, Pause, 40015, "Pause\tSpace", false)                         \
    X(Battle, Step, 40016, "Step\tRight", false)                           \
    X(Battle, StepTick, 40017, "Step one tick\tShift+Right", true)         \
    X(Battle, Slower, 40018, "Slower\t-", false)                           \
    X(Battle, Faster, 40019, "Faster\t+", false)                           \
    X(Battle, NormalSpeed, 40020, "Normal speed\t0", true)                 \
    X(Battle, Inspector, 40023, "Robot inspector...\tI", false)           \
    X(Help, About, 40004, "About", false)

enum class MenuCommand : int32_t {
#define KV_MENU_COMMAND(popup, command, id, text, separator) command = id,
    KV_MENU_ITEMS(KV_MENU_COMMAND)
#undef KV_MENU_COMMAND
};

struct MenuItem {
    MenuPopup popup;
    MenuCommand command;
    std::string_view text;
    bool separatorAfter;
};

inline constexpr MenuItem kMenuItems[] = {
#define KV_MENU_ITEM(popup, command, id, text, separator) \
    {MenuPopup::popup, MenuCommand::command, text, separator},
    KV_MENU_ITEMS(KV_MENU_ITEM)
#undef KV_MENU_ITEM
};

// The item of a menu id; null for an id that no item has.
constexpr const MenuItem* FindMenuItem(int32_t id) {
    for (const MenuItem& item : kMenuItems) {
        if (static_cast<int32_t>(item.command) == id) return &item;
    }
    return nullptr;
}

}  // namespace kv
