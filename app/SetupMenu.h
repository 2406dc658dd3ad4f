#pragma once
// The Setup menu's logic without a window: the check mark and graying of each item, and what
// each command changes. The window applies the states to its items and carries out the
// effects that need the context or the sound system.

#include <cstdint>
#include <optional>

#include "app/Menu.h"
#include "app/Settings.h"

namespace kv {

// What this machine allows, found once at start-up.
struct SetupCapabilities {
    bool swapIntervalChangeable = true;  // the program may set the swap interval at run time
    bool renderToTexture = true;         // shadow maps can be drawn (a 64 x 64 RGBA target)
    bool soundAvailable = true;          // the sound system started
};

struct MenuItemState {
    bool checked = false;
    bool grayed = false;
    bool operator==(const MenuItemState&) const = default;
};

// The state of a Setup item; neither checked nor grayed for any other command. An item that
// the machine cannot honour is grayed and shows what is in effect (no vertical sync, sound
// off) without changing the player's choice in settings, so the file keeps it for a machine
// that can.
MenuItemState SetupItemState(MenuCommand command, const Settings& settings, const SetupCapabilities& capabilities);

struct ShadowModeChange {
    int32_t from = 0;
    int32_t to = 0;
    bool operator==(const ShadowModeChange&) const = default;
};

// What the caller must do after a Setup command, besides refreshing the Setup items.
struct SetupEffects {
    bool handled = false;                          // the id is a Setup command
    std::optional<int32_t> swapInterval;           // set the swap interval to this
    std::optional<ShadowModeChange> shadowChange;  // tell the shadows the mode changed
    std::optional<bool> mute;                      // SetMute with this, under the sound lock
    bool written = false;                          // the settings file holds the new settings
};

// Applies a Setup command (40006-40014) to settings and writes them to the file. A grayed
// item's command changes nothing. Other ids are not handled.
SetupEffects OnSetupCommand(int32_t id, Settings& settings, const SetupCapabilities& capabilities);

}  // namespace kv
