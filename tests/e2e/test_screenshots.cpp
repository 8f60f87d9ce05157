// Pictures of the name screen, the main menu (panel, start hint, exit text)
// and the options page at two screen sizes, taken from the real window.
// With VRX_SCREENSHOT_DIR set they are also written there (docs/screenshots).
#include <cstdlib>

#include "game_fixture.h"

namespace e2e {
namespace {

class Screenshots : public GameTest {
 protected:
  void Save(const Picture& p, const std::string& name) {
    ASSERT_GT(p.width, 0);
    EXPECT_TRUE(p.SavePng(G().Dir() + "/" + name + ".png"));
    if (const char* out = std::getenv("VRX_SCREENSHOT_DIR")) p.SavePng(std::string(out) + "/" + name + ".png");
  }
  void TakeAll(int width, int height) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    StartToNameScreen(width, height);
    ASSERT_FALSE(HasFatalFailure());
    Hover(kName);
    SleepMs(400);
    Picture name = G().Grab();
    EXPECT_EQ(name.width, width);
    EXPECT_EQ(name.height, height);
    Save(name, "name-" + size);

    Click(kName);
    ASSERT_TRUE(G().WaitFor(MenuShown));
    G().MoveTo(0.45f, 0.97f);
    SleepMs(400);
    const Picture panel = G().Grab();
    Save(panel, "menu-" + size);
    Hover(kStart);
    SleepMs(400);
    const Picture start = G().Grab();
    Save(start, "menu-start-" + size);
    // The flag replaces the track picture.
    EXPECT_GT(panel.CountDifferent(start, int(width * 0.48), int(height * 0.15), int(width * 0.7), int(height * 0.3), 40),
              500);
    Hover(kExit);
    SleepMs(400);
    Save(G().Grab(), "menu-exit-" + size);

    Click(kOptions);
    G().MoveTo(0.45f, 0.97f);
    SleepMs(400);
    const Picture options = G().Grab();
    Save(options, "options-" + size);
    EXPECT_GT(options.CountDifferent(panel, 0, 0, width, height, 40), width * height / 20);
    Click(kCancel);
    EXPECT_EQ(ExitFromMenu(), 0) << G().Stderr();
  }
};

TEST_F(Screenshots, At800x600) { TakeAll(800, 600); }
TEST_F(Screenshots, At1280x720) { TakeAll(1280, 720); }

}  // namespace
}  // namespace e2e
