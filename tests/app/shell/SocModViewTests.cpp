// SPDX-License-Identifier: MIT
#include "app/shell/MainController.h"
#include "app/shell/QNAppDelegate.h"
#include "app/shell/SocModView.h"

#include "app/specs/DataKeeper.h"
#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/PropertyList.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/Device.h"
#include "kit/host/HeadlessHost.h"
#include "kit/ui/Application.h"
#include "kit/ui/Button.h"
#include "kit/ui/Font.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/Window.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/kit/base/TempFolder.h"
#include "tests/tools/dataserver/TestServers.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <filesystem>

namespace {

constexpr kit::Color kTint { 0.0, 0.68, 0.96, 1.0 };

class SocModViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shelltest::isolateShell(home, environment);
        environment.set("LANGUAGE", "en");
        environment.set("LANG", "en_US.UTF-8");
        environment.set("LC_ALL", std::nullopt);
        environment.set("LC_MONETARY", std::nullopt);
    }
    void TearDown() override
    {
        quit();
        shelltest::restoreShell();
        kit::Bundle::setMainBundlePath({});
        kit::Device::setRoot("/");
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
    }

    kit::UserDefaults& defaults() { return kit::UserDefaults::standardUserDefaults(); }

    // The stored state of an installed, unchanged version, so the launch keeps the schedule.
    void prime(std::int64_t launches, std::optional<double> shareDateFromNow, bool doNotDisturb = false)
    {
        defaults().setString(kit::Bundle::mainBundle().objectForInfoDictionaryKey("CFBundleVersion").stringValue(),
            "ProgramVersion");
        defaults().setInteger(launches, "LC");
        if (shareDateFromNow)
            defaults().setDate(kit::Date::now().byAdding(*shareDateFromNow), "ShareDate");
        else
            defaults().removeObjectForKey("ShareDate");
        defaults().setBool(doNotDisturb, "DND");
    }

    void launch(const std::string& device = "iphone-6", double scale = 1)
    {
        kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named(device));
        kit::HostOptions options;
        options.profile = kit::DeviceProfile::current();
        options.scale = scale;
        host = std::make_unique<kit::HeadlessHost>(options);
        delegate = std::make_unique<QNAppDelegate>();
        host->launch(delegate.get());
        // Landing-page requests stay on this machine: nothing listens on port 1.
        auto hosts = prompt().hosts();
        hosts.maker = "127.0.0.1:1";
        prompt().setHosts(hosts);
    }

    void quit()
    {
        if (host)
            host->terminate();
        delegate.reset();
        host.reset();
    }

    // Leaves the foreground and comes back: one more activation.
    void reactivate()
    {
        host->resignActive();
        host->becomeActive();
    }

    SocModView& prompt() { return *delegate->mainController()->socModView(); }
    kit::Button& button(std::size_t index) { return *prompt().buttons().at(index); }
    kit::Point centreOf(const kit::View& view) { return view.convertRectTo(view.bounds(), nullptr).center(); }
    void tap(const kit::View& view) { host->tap(centreOf(view)); }

    // A bundle of our own: the real artwork, and the given information and English texts.
    void useBundle(kit::Dict info, const std::string& strings)
    {
        std::string folder = home.path() + "/bundle";
        ASSERT_TRUE(kit::FileManager::createDirectory(folder).ok());
        ASSERT_TRUE(kit::FileManager::createDirectory(folder + "/en.lproj").ok());
        std::filesystem::create_symlink(QUARRIN_SOURCE_DIR "/resources/images", folder + "/images");
        info.emplace("CFBundleIdentifier", "com.velmora.quarrin");
        info.emplace("CFBundleVersion", "5.0");
        auto bytes = kit::PropertyList::write(kit::Value(std::move(info)));
        ASSERT_TRUE(bytes.ok());
        ASSERT_TRUE(kit::FileManager::writeFileAtomically(folder + "/Info.plist", *bytes).ok());
        std::ofstream(folder + "/en.lproj/Localizable.strings") << strings;
        kit::Bundle::setMainBundlePath(folder);
    }

    kit::testing::TempFolder home;
    kit::testing::ScopedEnvironment environment;
    std::unique_ptr<kit::HeadlessHost> host;
    std::unique_ptr<QNAppDelegate> delegate;
};

} // namespace

TEST_F(SocModViewTest, FadesInAtTheSixthActivationAfterTheShareDate)
{
    prime(4, -3600);
    launch();
    EXPECT_EQ(defaults().integerForKey("LC"), 5);
    host->advance(1);
    EXPECT_FALSE(prompt().isShown());
    // Hidden, it lets touches through to the screens.
    kit::Point corner { 5, 100 };
    EXPECT_NE(host->keyWindow()->hitTest(corner), &prompt());

    reactivate();
    EXPECT_EQ(defaults().integerForKey("LC"), 6);
    EXPECT_TRUE(prompt().isShown());
    EXPECT_EQ(host->keyWindow()->hitTest(corner), &prompt()) << "shown, it takes every touch";
    host->advance(0.2);
    double middle = prompt().presentation().alpha;
    EXPECT_GT(middle, 0.1);
    EXPECT_LT(middle, 0.9);
    host->advance(0.25);
    EXPECT_DOUBLE_EQ(prompt().presentation().alpha, 1.0);
    // Shown and not closed: it comes back at every activation.
    reactivate();
    host->advance(0.5);
    EXPECT_TRUE(prompt().isShown());
}

TEST_F(SocModViewTest, StaysHiddenBeforeTheShareDateOrOnceTheUserSaidNo)
{
    prime(20, 60);
    launch();
    host->advance(1);
    EXPECT_FALSE(prompt().isShown()) << "a minute early";
    quit();

    prime(50, -86400, true);
    launch();
    for (int i = 0; i < 3; ++i) {
        reactivate();
        host->advance(1);
        EXPECT_FALSE(prompt().isShown()) << "DND";
    }
    quit();

    // No share date at all, or one that is no date, never passes.
    prime(50, std::nullopt);
    launch();
    EXPECT_FALSE(prompt().isShown());
    quit();
    prime(50, std::nullopt);
    defaults().setString("yesterday", "ShareDate");
    launch();
    EXPECT_FALSE(prompt().isShown());
}

TEST_F(SocModViewTest, PromptLayoutFollowsTheLookAndStaysCentred)
{
    prime(9, -60);
    launch("ipad-2");
    SocModView& view = prompt();
    kit::View* root = delegate->mainController()->view();
    EXPECT_EQ(root->subviews().back().get(), &view);
    EXPECT_EQ(view.frame(), root->bounds());
    EXPECT_EQ(view.backgroundColor(), kit::Color::white(0.34, 0.8));

    kit::ImageView& plate = *view.plateView();
    ASSERT_NE(plate.image(), nullptr);
    kit::Size size = plate.image()->size();
    EXPECT_EQ(plate.frame().size, size);
    EXPECT_NEAR(plate.frame().midX(), view.bounds().midX(), 0.5);
    EXPECT_NEAR(plate.frame().midY(), view.bounds().midY(), 0.5);

    kit::Label& appeal = *view.appealLabel();
    EXPECT_EQ(appeal.text(), "Enjoying Quarrin? Tell your friends about it, or rate it!");
    EXPECT_EQ(appeal.frame().origin, kit::Point(18, 10));
    EXPECT_EQ(appeal.frame().width(), size.width - 36);
    EXPECT_NEAR(appeal.frame().height(), 3 * appeal.font()->lineHeight(), 1e-9);
    EXPECT_EQ(appeal.numberOfLines(), 3);

    ASSERT_EQ(view.buttons().size(), 5u);
    double x = appeal.frame().minX() + 8;
    const char* pictures[] = { "smFacebook", "smTweet", "smMail", "smRate" };
    for (std::size_t i = 0; i < 4; ++i) {
        kit::Button& share = button(i);
        EXPECT_EQ(share.superview(), &plate);
        EXPECT_EQ(share.frame(), kit::Rect(x, appeal.frame().maxY() + 14, 57, 57)) << pictures[i];
        EXPECT_EQ(share.image(), kit::Image::named(pictures[i]));
        EXPECT_DOUBLE_EQ(share.shadowOpacity(), 0.8);
        x = share.frame().maxX() + 13;
    }
    kit::Button& close = *view.closeButton();
    EXPECT_EQ(close.frame(), kit::Rect(button(3).frame().maxX() + 2, -10, 23, 25));
    EXPECT_EQ(close.image(), kit::Image::named("smClose"));
    // Every button lies on the plate's width; only the close button reaches above it.
    EXPECT_LE(close.frame().maxX(), size.width);
    EXPECT_LE(button(0).frame().maxY(), size.height);

    // A turned tablet keeps the plate in the middle, on whole points.
    ASSERT_TRUE(host->rotate());
    host->advance(1);
    host->render();
    EXPECT_EQ(view.frame().size, kit::Size(1024, root->bounds().height()));
    EXPECT_NEAR(plate.frame().midX(), view.bounds().midX(), 0.5);
    EXPECT_NEAR(plate.frame().midY(), view.bounds().midY(), 0.5);
    EXPECT_EQ(plate.frame().minX(), std::round(plate.frame().minX()));
}

TEST_F(SocModViewTest, SharingLeavesItShownAndClosingStoresTheNoAtOnce)
{
    prime(6, -60);
    launch();
    host->advance(0.5);
    ASSERT_TRUE(prompt().isShown());
    kit::Dict before = defaults().dictionaryRepresentation();
    for (std::size_t i = 0; i < 4; ++i) {
        tap(button(i));
        host->advance(0.5);
        EXPECT_TRUE(prompt().isShown()) << i;
    }
    EXPECT_EQ(host->openedURLs().size(), 4u);
    EXPECT_FALSE(defaults().boolForKey("DND"));
    EXPECT_EQ(defaults().dictionaryRepresentation(), before) << "sharing changes no preference";

    tap(*prompt().closeButton());
    EXPECT_TRUE(defaults().boolForKey("DND"));
    auto stored = kit::PropertyList::readFile(kit::UserDefaults::standardFilePath());
    ASSERT_TRUE(stored.ok()) << stored.error();
    EXPECT_TRUE((*stored)["DND"].boolValue()) << "on disk before the next departure";
    host->advance(0.2);
    EXPECT_GT(prompt().presentation().alpha, 0.1) << "fading out";
    host->advance(0.25);
    EXPECT_EQ(prompt().presentation().alpha, 0.0);
    EXPECT_NE(host->keyWindow()->hitTest({ 5, 100 }), &prompt());
    reactivate();
    host->advance(1);
    EXPECT_FALSE(prompt().isShown());
}

TEST_F(SocModViewTest, KeyboardWalksTheButtonsPressesThemAndEscapeSaysNo)
{
    prime(6, -60);
    launch("iphone-6", 2);
    host->advance(0.5);
    ASSERT_TRUE(prompt().isShown());
    kit::Window* window = host->keyWindow();
    EXPECT_EQ(window->firstResponder(), &prompt()) << "the prompt takes the keyboard";
    // Nothing is pressed until the user picks a button.
    EXPECT_TRUE(host->pressKey(kit::Key::Return));
    EXPECT_TRUE(host->openedURLs().empty());

    std::vector<kit::View*> order;
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(host->pressKey(kit::Key::Tab));
        order.push_back(window->firstResponder());
    }
    std::vector<kit::View*> expected;
    for (auto& b : prompt().buttons())
        expected.push_back(b.get());
    expected.push_back(expected.front()); // round again
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(host->pressKey(kit::Key::Tab, kit::KeyModifierShift));
    EXPECT_EQ(window->firstResponder(), prompt().closeButton());
    EXPECT_TRUE(host->pressKey(kit::Key::Tab, kit::KeyModifierShift));
    EXPECT_TRUE(host->pressKey(kit::Key::Tab, kit::KeyModifierShift));
    ASSERT_EQ(window->firstResponder(), &button(2));

    // The focused button wears the ring; Return presses it.
    host->advance(0.1);
    kit::Rect mail = button(2).convertRectTo(button(2).bounds(), nullptr);
    auto ring = host->pixelAt({ mail.minX() - 2, mail.midY() });
    ASSERT_TRUE(ring);
    EXPECT_NEAR(ring->blue, kTint.blue, 0.08);
    EXPECT_NEAR(ring->red, kTint.red, 0.08);
    kit::Rect tweet = button(1).convertRectTo(button(1).bounds(), nullptr);
    auto noRing = host->pixelAt({ tweet.minX() - 2, tweet.midY() });
    ASSERT_TRUE(noRing);
    EXPECT_GT(noRing->red, 0.2) << "only the focused button has a ring";
    // Leaving and coming back keeps the user's place.
    reactivate();
    EXPECT_EQ(window->firstResponder(), &button(2));
    EXPECT_TRUE(host->pressKey(kit::Key::Return));
    ASSERT_EQ(host->openedURLs().size(), 1u);
    EXPECT_TRUE(host->openedURLs()[0].starts_with("mailto:?subject=Quarrin&body="));
    EXPECT_TRUE(host->pressKey(kit::Key::Space));
    EXPECT_EQ(host->openedURLs().size(), 2u);
    EXPECT_TRUE(prompt().isShown());
    EXPECT_FALSE(defaults().boolForKey("DND"));

    EXPECT_TRUE(host->pressKey(kit::Key::Escape));
    EXPECT_FALSE(prompt().isShown());
    EXPECT_TRUE(defaults().boolForKey("DND"));
    EXPECT_EQ(window->firstResponder(), nullptr) << "the keyboard goes back to the screens";
    EXPECT_FALSE(host->pressKey(kit::Key::Escape)) << "hidden, it hears no keys";
}

TEST_F(SocModViewTest, OpenedAddressesCarryTheBundlesNameTextAndStoreIdentifier)
{
    useBundle(
        kit::Dict {
            { "AppleID", "1234567890" },
            { "CFBundleName", "Quarrin" },
            { "CFBundleDisplayName", "Quarrin Monitor" },
            { "QNStoreWebHost", "store.test.example" },
            { "QNSharerWebHost", "share.test.example" },
            { "QNIntentWebHost", "intent.test.example:8443" },
        },
        "\"AppealToShare\" = \"Like it?\";\n\"PromoTextToShare\" = \"RAM & disk #1 für alle\";\n");
    environment.set("LANG", "de_CH.UTF-8");
    prime(6, -60);
    launch();
    host->advance(0.5);
    ASSERT_TRUE(prompt().isShown());
    for (std::size_t i = 0; i < 4; ++i)
        tap(button(i));

    std::string app = "https:%2F%2Fstore.test.example%2Fch%2Fapp%2Fid1234567890%3Fmt%3D8";
    std::string promo = "RAM%20%26%20disk%20%231%20f%C3%BCr%20alle";
    ASSERT_EQ(host->openedURLs().size(), 4u);
    EXPECT_EQ(host->openedURLs()[0], "https://share.test.example/sharer.php?u=" + app + "&t=" + promo);
    EXPECT_EQ(host->openedURLs()[1],
        "https://intent.test.example:8443/intent/tweet?text=" + promo + "%20%23QuarrinMonitor&url=" + app);
    EXPECT_EQ(host->openedURLs()[2],
        "mailto:?subject=Quarrin&body=" + promo + ":%20%3Ca%20href%3D%22" + app + "%22%3EQuarrin%3C%2Fa%3E");
    EXPECT_EQ(host->openedURLs()[3], "appstream://com.velmora.quarrin");
    EXPECT_EQ(SocModView::localizedAppUrlString(), "https://store.test.example/ch/app/id1234567890?mt=8");
}

TEST_F(SocModViewTest, AppAddressTakesTheRegionElseTheMachinesCountryElseNone)
{
    std::string root = home.path() + "/machine";
    ASSERT_TRUE(kit::FileManager::createDirectory(root).ok());
    ASSERT_TRUE(kit::FileManager::createDirectory(root + "/etc").ok());
    kit::Device::setRoot(root);
    std::string id = kit::Bundle::mainBundle().objectForInfoDictionaryKey("AppleID").stringValue();
    ASSERT_FALSE(id.empty());
    std::string store = ShareLinks::hostsFromInfoDictionary(kit::Bundle::mainBundle().infoDictionary()).store;

    environment.set("LANG", "de_AT.UTF-8");
    EXPECT_EQ(SocModView::localizedAppUrlString(), "https://" + store + "/at/app/id" + id + "?mt=8");
    environment.set("LC_MONETARY", "nl_BE.UTF-8");
    EXPECT_EQ(SocModView::localizedAppUrlString(), "https://" + store + "/be/app/id" + id + "?mt=8");
    environment.set("LC_ALL", "C.UTF-8");
    EXPECT_EQ(SocModView::localizedAppUrlString(), "https://" + store + "/app/id" + id + "?mt=8");
    std::ofstream(root + "/etc/locale.conf") << "LANG=\"sv_FI.UTF-8\"\n";
    EXPECT_EQ(SocModView::localizedAppUrlString(), "https://" + store + "/fi/app/id" + id + "?mt=8");
}

TEST_F(SocModViewTest, RateOpensTheSoftwareCentreWhenItCanElseTheWebStore)
{
    prime(6, -60);
    launch();
    host->advance(0.5);
    tap(button(3));
    ASSERT_EQ(host->openedURLs().size(), 1u);
    EXPECT_EQ(host->openedURLs()[0], "appstream://" + kit::Bundle::mainBundle().bundleIdentifier());

    // No software centre handles appstream addresses: the store's web page in the browser.
    host->setOpenableSchemes(std::vector<std::string> { "https", "mailto" });
    tap(button(3));
    ASSERT_EQ(host->openedURLs().size(), 2u);
    EXPECT_EQ(host->openedURLs()[1], SocModView::localizedAppUrlString());
    EXPECT_TRUE(host->openedURLs()[1].starts_with("https://"));
    quit();

    // Without a store identifier, the store's start page.
    useBundle(kit::Dict { { "CFBundleName", "Quarrin" }, { "QNStoreWebHost", "store.test.example" } }, "");
    prime(6, -60);
    launch();
    host->setOpenableSchemes(std::vector<std::string> { "https" });
    host->advance(0.5);
    tap(button(3));
    ASSERT_EQ(host->openedURLs().size(), 1u);
    EXPECT_EQ(host->openedURLs()[0], "https://store.test.example/");
}

namespace {

// A port on 127.0.0.1 that refuses connections: bound once, then closed.
int closedPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

class LandingPageTest : public SocModViewTest {
protected:
    static void SetUpTestSuite()
    {
        dir = new testservers::TempDir;
        certificates = new testservers::Certificates(testservers::Certificates::make(dir->path()));
        ASSERT_TRUE(certificates->ok);
        testservers::writeFile(dir->file("page.html"), "<html>thanks</html>\n");
    }
    static void TearDownTestSuite()
    {
        delete certificates;
        delete dir;
    }
    void SetUp() override
    {
        SocModViewTest::SetUp();
        environment.set("SSL_CERT_FILE", certificates->caFile);
        environment.set("SSL_CERT_DIR", std::nullopt);
    }

    // A test server answering every path in `mode`, logging "<method> <path> <body>".
    std::unique_ptr<testservers::ServerProcess> startServer(const std::string& name, const std::string& mode, bool trusted = true)
    {
        auto server = std::make_unique<testservers::ServerProcess>();
        std::string cert = trusted ? certificates->certFile : certificates->untrustedCertFile;
        std::string key = trusted ? certificates->keyFile : certificates->untrustedKeyFile;
        std::filesystem::remove(dir->file(name + ".log"));
        EXPECT_TRUE(server->start({ testservers::faultServerPath(), "--cert", cert, "--key", key, "--data",
                                      dir->file("page.html"), "--log", dir->file(name + ".log"), "--mode", mode, "--log-method" },
            dir->file(name + ".err")));
        return server;
    }
    std::vector<std::string> log(const std::string& name) { return testservers::readLines(dir->file(name + ".log")); }

    void showWithMaker(const std::string& makerHost)
    {
        prime(6, -60);
        launch();
        host->advance(0.5);
        ASSERT_TRUE(prompt().isShown());
        auto hosts = prompt().hosts();
        hosts.maker = makerHost;
        prompt().setHosts(hosts);
    }

    static inline testservers::TempDir* dir = nullptr;
    static inline testservers::Certificates* certificates = nullptr;
};

} // namespace

TEST_F(LandingPageTest, EachActionSendsItsLandingPageGet)
{
    auto server = startServer("ok", "ok");
    showWithMaker("127.0.0.1:" + std::to_string(server->port()));
    for (std::size_t i = 0; i < 4; ++i)
        tap(button(i));
    ASSERT_TRUE(kit::RunLoop::main().runUntil([&] { return log("ok").size() >= 4; }, 20));
    kit::RunLoop::main().runFor(0.1);
    auto lines = log("ok");
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines,
        (std::vector<std::string> { "GET /quarrin/social/appstore.html ", "GET /quarrin/social/facebook.html ",
            "GET /quarrin/social/mail.html ", "GET /quarrin/social/twitter.html " }));
    EXPECT_TRUE(prompt().isShown());
    // The close button sends nothing.
    tap(*prompt().closeButton());
    kit::RunLoop::main().runFor(0.3);
    EXPECT_EQ(log("ok").size(), 4u);
}

TEST_F(LandingPageTest, AServerWithAnUntrustedCertificateNeverSeesTheRequest)
{
    auto server = startServer("stranger", "ok", false);
    showWithMaker("127.0.0.1:" + std::to_string(server->port()));
    tap(button(0));
    tap(button(3));
    // A trusted server has the requests well within this time (the test above).
    kit::RunLoop::main().runFor(1.5);
    // At most handshakes that the client broke off; never a request.
    for (const auto& line : log("stranger"))
        EXPECT_EQ(line, "handshake-failed");
    EXPECT_TRUE(prompt().isShown());
}

TEST_F(LandingPageTest, RefusedOrHungRequestsLeaveThePromptWorking)
{
    showWithMaker("127.0.0.1:" + std::to_string(closedPort()));
    for (std::size_t i = 0; i < 4; ++i)
        tap(button(i));
    kit::RunLoop::main().runFor(0.3);
    EXPECT_TRUE(prompt().isShown());
    EXPECT_EQ(host->openedURLs().size(), 4u);
    quit();

    auto server = startServer("stall", "stall");
    showWithMaker("127.0.0.1:" + std::to_string(server->port()));
    tap(button(1));
    tap(button(2));
    ASSERT_TRUE(kit::RunLoop::main().runUntil([&] { return log("stall").size() >= 2; }, 20));
    // The replies never come; the prompt still answers at once, and the application can end
    // with the requests open.
    tap(*prompt().closeButton());
    EXPECT_TRUE(defaults().boolForKey("DND"));
    host->advance(0.5);
    EXPECT_FALSE(prompt().isShown());
    quit();
    kit::RunLoop::main().runFor(0.2);
}

TEST_F(SocModViewTest, PromptOverTheUsageTabAtPhoneAndTabletSizes)
{
    const char* out = std::getenv("QUARRIN_SHARE_PNG_DIR");
    for (const char* device : { "iphone-6", "ipad-2" }) {
        prime(6, -60);
        launch(device, 2);
        host->advance(QNAppDelegate::kRefreshInterval + 0.5);
        ASSERT_TRUE(prompt().isShown()) << device;
        kit::Rect plate = prompt().plateView()->convertRectTo(prompt().plateView()->bounds(), nullptr);
        kit::Size screen = host->screenSize();
        EXPECT_NEAR(plate.midX(), screen.width / 2, 1) << device;

        // The dim layer over the screens: grey, neither the dark background nor white.
        auto dim = host->pixelAt({ 4, plate.minY() - 30 });
        ASSERT_TRUE(dim);
        EXPECT_GT(dim->red, 0.25) << device;
        EXPECT_LT(dim->red, 0.45) << device;
        // The plate is light, its appeal darker grey; the rate button is orange.
        auto face = host->pixelAt({ plate.minX() + 6, plate.maxY() - 8 });
        ASSERT_TRUE(face);
        EXPECT_GT(face->red, 0.7) << device;
        kit::Rect rate = button(3).convertRectTo(button(3).bounds(), nullptr);
        auto orange = host->pixelAt({ rate.minX() + 4, rate.midY() });
        ASSERT_TRUE(orange);
        EXPECT_GT(orange->red, 0.85) << device;
        EXPECT_LT(orange->blue, 0.3) << device;
        // The shadow darkens the plate just below each button.
        auto shade = host->pixelAt({ rate.minX() + 10, rate.maxY() + 0.75 });
        auto open = host->pixelAt({ rate.minX() + 10, rate.maxY() + 6 });
        ASSERT_TRUE(shade && open);
        EXPECT_LT(shade->red, open->red - 0.2) << device;

        if (out && *out) {
            ASSERT_TRUE(host->pressKey(kit::Key::Tab));
            auto written = host->writePNG(std::string(out) + "/share-" + device + ".png");
            EXPECT_TRUE(written.ok()) << written.error();
        }
        quit();
    }
}
