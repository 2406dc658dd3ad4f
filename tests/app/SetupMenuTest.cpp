#include "app/SetupMenu.h"

#include <set>
#include <string>
#include <vector>

#include "app/IniFile.h"
#include "InTempDir.h"

namespace kv {
namespace {

using SetupMenu = InTempDir;
constexpr SetupCapabilities kEverything{};

int32_t Id(MenuCommand command) { return static_cast<int32_t>(command); }

TEST(MenuTable, ListsEachPopupInOrderWithItsIdsTextsAndSeparators) {
    std::vector<std::string> shown[4];
    std::set<int32_t> ids;
    for (const MenuItem& item : kMenuItems) {
        shown[static_cast<int>(item.popup)].push_back(std::to_string(Id(item.command)) + " " +
                                                      std::string(item.text) + (item.separatorAfter ? " |" : ""));
        EXPECT_TRUE(ids.insert(Id(item.command)).second) << item.text;
    }
    EXPECT_EQ(shown[0], (std::vector<std::string>{"40001 New", "40002 Restart", "40021 Open battle...",
                                                  "40022 Save battle... |", "40003 Exit"}));
    EXPECT_EQ(shown[1], (std::vector<std::string>{
                            "40014 Sound on |", "40006 VSync |", "40007 Shadow off", "40008 Shadow map",
                            "40009 Shadow stencil |", "40010 One robot view active",
                            "40011 All robot views active |", "40013 Show splash at startup"}));
    EXPECT_EQ(shown[2], (std::vector<std::string>{"40015 Pause\tSpace", "40016 Step\tRight",
                                                  "40017 Step one tick\tShift+Right |", "40018 Slower\t-",
                                                  "40019 Faster\t+", "40020 Normal speed\t0 |",
                                                  "40023 Robot inspector...\tI"}));
    EXPECT_EQ(shown[3], (std::vector<std::string>{"40004 About"}));
    ASSERT_NE(FindMenuItem(40013), nullptr);
    EXPECT_EQ(FindMenuItem(40013)->text, "Show splash at startup");
    EXPECT_EQ(FindMenuItem(40012), nullptr);
    EXPECT_EQ(FindMenuItem(40005), nullptr);
}

TEST(SetupItems, CheckMarksFollowTheSettings) {
    Settings s;
    for (int32_t mode = -1; mode <= 2; ++mode) {
        s.shadowMode = mode;
        EXPECT_EQ(SetupItemState(MenuCommand::ShadowOff, s, kEverything).checked, mode <= 0);
        EXPECT_EQ(SetupItemState(MenuCommand::ShadowStencil, s, kEverything).checked, mode == 1);
        EXPECT_EQ(SetupItemState(MenuCommand::ShadowMap, s, kEverything).checked, mode == 2);
    }
    for (int32_t one = -1; one <= 2; ++one) {
        s.oneViewActive = one;
        EXPECT_EQ(SetupItemState(MenuCommand::OneViewActive, s, kEverything).checked, one == 1);
        EXPECT_EQ(SetupItemState(MenuCommand::AllViewsActive, s, kEverything).checked, one <= 0);
    }
    for (int32_t vsync = 0; vsync <= 2; ++vsync) {
        s.vsync = vsync;
        EXPECT_EQ(SetupItemState(MenuCommand::VSync, s, kEverything), (MenuItemState{vsync == 1, false}));
    }
    for (bool on : {false, true}) {
        s.showSplash = on;
        s.soundOn = on;
        EXPECT_EQ(SetupItemState(MenuCommand::ShowSplash, s, kEverything), (MenuItemState{on, false}));
        EXPECT_EQ(SetupItemState(MenuCommand::SoundOn, s, kEverything), (MenuItemState{on, false}));
    }
    EXPECT_EQ(SetupItemState(MenuCommand::New, s, kEverything), MenuItemState{});
}

TEST(SetupItems, WhatTheMachineLacksIsGrayedAndShowsWhatIsInEffect) {
    Settings s;
    s.shadowMode = 2;  // a file that says "Map" is honoured on a machine without shadow maps
    s.vsync = 0;
    s.soundOn = true;
    SetupCapabilities nothing{false, false, false};
    EXPECT_EQ(SetupItemState(MenuCommand::ShadowMap, s, nothing), (MenuItemState{true, true}));
    // Regression: vertical sync showed checked where nothing synced the frames.
    s.vsync = 1;
    EXPECT_EQ(SetupItemState(MenuCommand::VSync, s, nothing), (MenuItemState{false, true}));
    EXPECT_EQ(SetupItemState(MenuCommand::SoundOn, s, nothing), (MenuItemState{false, true}));
    for (MenuCommand other : {MenuCommand::ShadowOff, MenuCommand::ShadowStencil, MenuCommand::OneViewActive,
                              MenuCommand::AllViewsActive, MenuCommand::ShowSplash}) {
        EXPECT_FALSE(SetupItemState(other, s, nothing).grayed);
    }
    EXPECT_EQ(s.shadowMode, 2);
    EXPECT_TRUE(s.soundOn);
}

TEST_F(SetupMenu, ChoosingVSyncTwiceReturnsAndSetsTheSwapIntervalEachTime) {
    Settings s;
    SetupEffects first = OnSetupCommand(Id(MenuCommand::VSync), s, kEverything);
    EXPECT_TRUE(first.handled);
    EXPECT_EQ(first.swapInterval, 1);
    EXPECT_EQ(s.vsync, 1);
    SetupEffects second = OnSetupCommand(Id(MenuCommand::VSync), s, kEverything);
    EXPECT_EQ(second.swapInterval, 0);
    EXPECT_EQ(s.vsync, 0);
    EXPECT_FALSE(first.shadowChange || first.mute || second.shadowChange || second.mute);
}

TEST_F(SetupMenu, ShadowCommandsReportTheModeChangeOnlyWhenItChanges) {
    Settings s;
    EXPECT_EQ(OnSetupCommand(Id(MenuCommand::ShadowMap), s, kEverything).shadowChange, (ShadowModeChange{0, 2}));
    EXPECT_EQ(OnSetupCommand(Id(MenuCommand::ShadowStencil), s, kEverything).shadowChange,
              (ShadowModeChange{2, 1}));
    EXPECT_FALSE(OnSetupCommand(Id(MenuCommand::ShadowStencil), s, kEverything).shadowChange);
    EXPECT_EQ(OnSetupCommand(Id(MenuCommand::ShadowOff), s, kEverything).shadowChange, (ShadowModeChange{1, 0}));
    EXPECT_EQ(s.shadowMode, 0);
}

TEST_F(SetupMenu, ViewSplashAndSoundCommandsChangeTheirSetting) {
    Settings s;
    OnSetupCommand(Id(MenuCommand::AllViewsActive), s, kEverything);
    EXPECT_EQ(s.oneViewActive, 0);
    OnSetupCommand(Id(MenuCommand::OneViewActive), s, kEverything);
    EXPECT_EQ(s.oneViewActive, 1);
    OnSetupCommand(Id(MenuCommand::ShowSplash), s, kEverything);
    EXPECT_FALSE(s.showSplash);
    SetupEffects off = OnSetupCommand(Id(MenuCommand::SoundOn), s, kEverything);
    EXPECT_FALSE(s.soundOn);
    EXPECT_EQ(off.mute, true);
    EXPECT_EQ(OnSetupCommand(Id(MenuCommand::SoundOn), s, kEverything).mute, false);
    EXPECT_TRUE(s.soundOn);
}

TEST_F(SetupMenu, AGrayedItemsCommandChangesNothing) {
    Settings s;
    SetupCapabilities nothing{false, false, false};
    for (MenuCommand grayed : {MenuCommand::VSync, MenuCommand::ShadowMap, MenuCommand::SoundOn}) {
        SetupEffects effects = OnSetupCommand(Id(grayed), s, nothing);
        EXPECT_TRUE(effects.handled);
        EXPECT_FALSE(effects.swapInterval || effects.shadowChange || effects.mute || effects.written);
    }
    EXPECT_EQ(s.vsync, 0);
    EXPECT_EQ(s.shadowMode, 0);
    EXPECT_TRUE(s.soundOn);
    EXPECT_FALSE(std::filesystem::exists(Settings::kFileName));
}

TEST_F(SetupMenu, OtherIdsAreNotHandled) {
    Settings s;
    for (int32_t id : {40001, 40002, 40003, 40004, 40005, 40012, 40015, 0}) {
        EXPECT_FALSE(OnSetupCommand(id, s, kEverything).handled) << id;
    }
    EXPECT_FALSE(std::filesystem::exists(Settings::kFileName));
}

TEST_F(SetupMenu, AfterACommandTheFileHoldsAllFiveKeys) {
    WriteFile(Settings::kFileName, "[Sound]\nSound=Off\n");
    Settings s;
    s.Read();
    EXPECT_TRUE(OnSetupCommand(Id(MenuCommand::ShowSplash), s, kEverything).written);
    KvIniFile file;
    file.Load(Settings::kFileName);
    EXPECT_EQ(file.Get("Render", "Shadow"), "Off");
    EXPECT_EQ(file.Get("Render", "VSync"), "Off");
    EXPECT_EQ(file.Get("Views", "OneViewActive"), "On");
    EXPECT_EQ(file.Get("Setup", "ShowSplash"), "Off");
    EXPECT_EQ(file.Get("Sound", "Sound"), "Off");
}

TEST_F(SetupMenu, AnUnwritableFileLeavesTheCommandApplied) {
    std::filesystem::create_directory(Settings::kFileName);
    Settings s;
    SetupEffects effects = OnSetupCommand(Id(MenuCommand::ShadowStencil), s, kEverything);
    EXPECT_FALSE(effects.written);
    EXPECT_EQ(effects.shadowChange, (ShadowModeChange{0, 1}));
    EXPECT_EQ(s.shadowMode, 1);
}

}  // namespace
}  // namespace kv
