#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <thread>

extern "C" {
#include <libavutil/time.h>
}

#include "MediaTestSupport.h"
#include "medialib/Vorq_Medialib.h"

using namespace mediatest;

namespace {

struct Pixel {
    int r, g, b;
};

// What a receiver saw of the pictures, checked while each buffer was valid.
struct PictureLog {
    int count = 0;
    int width = 0;
    int height = 0;
    bool sizeChanged = false;
    int repeats = 0; // pictures identical to the one before
    std::vector<uint8_t> last;
    std::function<void(const uint8_t*, int, int)> inspect;

    void attach(Vorq_Medialib& engine)
    {
        QObject::connect(&engine, &Vorq_Medialib::frameBuffer, &engine,
                         [this](uint8_t* buffer, int w, int h) { onPicture(buffer, w, h); });
    }

    void onPicture(const uint8_t* buffer, int w, int h)
    {
        if (count > 0 && (w != width || h != height)) sizeChanged = true;
        width = w;
        height = h;
        const size_t size = static_cast<size_t>(w) * static_cast<size_t>(h) * 3;
        if (last.size() == size && std::memcmp(last.data(), buffer, size) == 0) ++repeats;
        last.assign(buffer, buffer + size); // reads every byte: a short buffer shows under ASan
        if (inspect) inspect(buffer, w, h);
        ++count;
    }

    Pixel at(int x, int y) const
    {
        const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        return {last[i], last[i + 1], last[i + 2]};
    }
};

class MediaPreviewTest : public ::testing::Test {
protected:
    void open(const std::string& graph, const std::string& size = "800x600")
    {
        cameras = std::make_unique<FakeCameras>(std::vector<FakeCameraSpec>{{graph, toneGraph(48000, 2)}});
        engine = std::make_unique<Vorq_Medialib>();
        engine->SetCapture(kCard, 0);
        engine->SetVideoSize(size);
        log.attach(*engine);
    }

    void TearDown() override
    {
        engine.reset();
        cameras.reset();
    }

    std::unique_ptr<FakeCameras> cameras;
    std::unique_ptr<Vorq_Medialib> engine;
    PictureLog log;
};

struct SizeCase {
    const char* size;
    int width;
    int height;
};

void PrintTo(const SizeCase& c, std::ostream* os)
{
    *os << c.size;
}

class MediaPreviewSizeTest : public MediaPreviewTest, public ::testing::WithParamInterface<SizeCase> {};

} // namespace

TEST_P(MediaPreviewSizeTest, DeliversPackedRgbOfTheStreamSize)
{
    const SizeCase c = GetParam();
    open(rgbStripesGraph(), c.size);
    engine->StartCapture();
    ASSERT_TRUE(engine->CaptureIsOpen());
    ASSERT_TRUE(waitFor([&] { return log.count >= 3; }, 10000));

    EXPECT_EQ(log.width, c.width);
    EXPECT_EQ(log.height, c.height);
    EXPECT_FALSE(log.sizeChanged);
    ASSERT_EQ(log.last.size(), static_cast<size_t>(c.width) * c.height * 3);

    // Red, green and blue stripes from top to bottom, brightest at the right:
    // RGB order (not BGR), rows of exactly width * 3 bytes, top row first.
    const int x = c.width - 2;
    const Pixel top = log.at(x, c.height / 6);
    const Pixel middle = log.at(x, c.height / 2);
    const Pixel bottom = log.at(x, c.height - 1);
    EXPECT_GT(top.r, 200);
    EXPECT_LT(top.g + top.b, 40);
    EXPECT_GT(middle.g, 200);
    EXPECT_LT(middle.r + middle.b, 40);
    EXPECT_GT(bottom.b, 200);
    EXPECT_LT(bottom.r + bottom.g, 40);
    const Pixel left = log.at(1, c.height / 6);
    EXPECT_LT(left.r, 40); // the stripes are gradients, not a flat fill
}

INSTANTIATE_TEST_SUITE_P(Sizes, MediaPreviewSizeTest,
                         ::testing::Values(SizeCase{"800x600", 800, 600}, SizeCase{"1280x720", 1280, 720},
                                           SizeCase{"480x640", 480, 640}),
                         [](const auto& info) { return std::to_string(info.param.width) + "x" +
                                                       std::to_string(info.param.height); });

TEST_F(MediaPreviewTest, EachFrameArrivesOnceAfterRepeatedStarts)
{
    open(movingPatternGraph(), "320x240");
    engine->StartCapture();
    engine->StartCapture();
    ASSERT_TRUE(engine->CaptureIsOpen());
    ASSERT_TRUE(waitFor([&] { return log.count >= 2; }, 10000));

    const int before = log.count;
    QElapsedTimer elapsed;
    elapsed.start();
    runEventLoopFor(1500);
    const double seconds = elapsed.elapsed() / 1000.0;
    const int delivered = log.count - before;
    // At most one picture per camera frame (30 per second); a doubled
    // forwarding would deliver about twice that, every picture twice.
    EXPECT_LE(delivered, static_cast<int>(30 * seconds * 1.15) + 2);
    EXPECT_GE(delivered, static_cast<int>(30 * seconds * 0.3));
    EXPECT_EQ(log.repeats, 0);
}

TEST_F(MediaPreviewTest, RestartTakesTheNewSizeAndStopEndsTheFrames)
{
    open(movingPatternGraph(), "320x240");
    engine->StartCapture();
    ASSERT_TRUE(waitFor([&] { return log.count >= 2; }, 10000));
    EXPECT_EQ(log.width, 320);
    EXPECT_EQ(log.height, 240);

    engine->StopCapture();
    EXPECT_FALSE(engine->CaptureIsOpen());
    const int afterStop = log.count;
    runEventLoopFor(300); // pictures still queued for the old converter must not appear
    EXPECT_EQ(log.count, afterStop);

    engine->SetVideoSize("640x360");
    engine->StartCapture();
    ASSERT_TRUE(engine->CaptureIsOpen());
    const int afterRestart = log.count;
    ASSERT_TRUE(waitFor([&] { return log.count >= afterRestart + 3; }, 10000));
    EXPECT_EQ(log.width, 640);
    EXPECT_EQ(log.height, 360);
    EXPECT_EQ(log.repeats, 0);
}

TEST_F(MediaPreviewTest, SlowReceiverGetsTheNewestPictureNotABacklog)
{
    open(wallClockGraph(), "320x240");
    std::vector<double> ages;
    log.inspect = [&](const uint8_t* buffer, int, int) {
        // The picture's grey level is the wall-clock fraction of a second at
        // which it was made.
        const double made = buffer[0] / 255.0;
        double now = static_cast<double>(av_gettime() % 1000000) / 1e6;
        double age = now - made;
        if (age < -0.02) age += 1.0;
        ages.push_back(age);
        // A receiver that needs 100 ms per picture, three camera frames.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
    engine->StartCapture();
    ASSERT_TRUE(engine->CaptureIsOpen());
    ASSERT_TRUE(waitFor([&] { return log.count >= 12; }, 10000));
    engine->StopCapture();

    // With a backlog the age would grow by ~70 ms per picture (to ~0.8 s at
    // the end); the newest picture is never much older than the receiver's
    // own delay.
    for (size_t i = ages.size() / 2; i < ages.size(); ++i) EXPECT_LT(ages[i], 0.4) << "picture " << i;
}

TEST_F(MediaPreviewTest, HeldPictureStaysAsItWasWhileLaterOnesArrive)
{
    open(movingPatternGraph(), "320x240");
    std::shared_ptr<const uint8_t> held;
    std::vector<uint8_t> atEmission;
    bool foreignHeld = false;
    log.inspect = [&](const uint8_t* buffer, int w, int h) {
        uint8_t other = 0;
        if (engine->HoldFrameBuffer(&other)) foreignHeld = true;
        if (held) return;
        held = engine->HoldFrameBuffer(buffer);
        atEmission.assign(buffer, buffer + static_cast<size_t>(w) * h * 3);
    };
    engine->StartCapture();
    ASSERT_TRUE(waitFor([&] { return log.count >= 8; }, 10000));
    ASSERT_TRUE(held);
    EXPECT_FALSE(foreignHeld);
    EXPECT_FALSE(engine->HoldFrameBuffer(held.get())); // outside an emission
    EXPECT_EQ(std::memcmp(held.get(), atEmission.data(), atEmission.size()), 0);
    // The picture outlives the capture that made it.
    engine->StopCapture();
    EXPECT_EQ(std::memcmp(held.get(), atEmission.data(), atEmission.size()), 0);
}
