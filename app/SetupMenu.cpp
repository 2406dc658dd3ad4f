#include "app/SetupMenu.h"

namespace kv {

MenuItemState SetupItemState(MenuCommand command, const Settings& settings, const SetupCapabilities& capabilities) {
    switch (command) {
    case MenuCommand::VSync:
        // Without control of the swap interval (software and indirect contexts) nothing waits
        // for the vertical blank: unchecked, as in effect.
        if (!capabilities.swapIntervalChangeable) return {false, true};
        return {settings.vsync == 1, false};
    case MenuCommand::ShadowOff: return {settings.shadowMode <= 0, false};
    case MenuCommand::ShadowMap: return {settings.shadowMode == 2, !capabilities.renderToTexture};
    case MenuCommand::ShadowStencil: return {settings.shadowMode == 1, false};
    case MenuCommand::OneViewActive: return {settings.oneViewActive == 1, false};
    case MenuCommand::AllViewsActive: return {settings.oneViewActive <= 0, false};
    case MenuCommand::ShowSplash: return {settings.showSplash, false};
    case MenuCommand::SoundOn:
        return {settings.soundOn && capabilities.soundAvailable, !capabilities.soundAvailable};
    default: break;  // not a Setup item
    }
    return {};
}

SetupEffects OnSetupCommand(int32_t id, Settings& settings, const SetupCapabilities& capabilities) {
    const MenuItem* item = FindMenuItem(id);
    SetupEffects effects;
    effects.handled = item && item->popup == MenuPopup::Setup;
    if (!effects.handled || SetupItemState(item->command, settings, capabilities).grayed) return effects;

    int32_t oldShadowMode = settings.shadowMode;
    switch (item->command) {
    case MenuCommand::VSync:
        settings.vsync = settings.vsync != 0 ? 0 : 1;
        effects.swapInterval = settings.vsync;
        break;
    case MenuCommand::ShadowOff: settings.shadowMode = 0; break;
    case MenuCommand::ShadowMap: settings.shadowMode = 2; break;
    case MenuCommand::ShadowStencil: settings.shadowMode = 1; break;
    case MenuCommand::OneViewActive: settings.oneViewActive = 1; break;
    case MenuCommand::AllViewsActive: settings.oneViewActive = 0; break;
    case MenuCommand::ShowSplash: settings.showSplash = !settings.showSplash; break;
    case MenuCommand::SoundOn:
        settings.soundOn = !settings.soundOn;
        effects.mute = !settings.soundOn;
        break;
    default: break;  // not a Setup item
    }
    if (settings.shadowMode != oldShadowMode) effects.shadowChange = ShadowModeChange{oldShadowMode, settings.shadowMode};
    effects.written = settings.Write();
    return effects;
}

}  // namespace kv
