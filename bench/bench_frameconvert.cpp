// Frame conversion cost per frame beside a plain copy of the same bytes, and the
// hand-off from the SDK's frame callback to a receiver on another thread.
#include "camera/frameconvert.h"
#include "camera/framememory.h"
#include "camera/framestats.h"
#include "camera/workthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

const int Sizes[][2] = { { 1280, 1024 }, { 2448, 2048 }, { 4096, 3000 } };

void sizeArgs(benchmark::internal::Benchmark *b)
{
    for (const auto &s : Sizes)
        b->Args({ s[0], s[1] });
}

std::vector<uchar> pattern(std::size_t bytes)
{
    std::vector<uchar> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        data[i] = uchar(i * 7 + (i >> 11));
    return data;
}

void memcpyFrame(benchmark::State &state, int channels)
{
    const std::size_t bytes = std::size_t(state.range(0)) * state.range(1) * channels;
    const std::vector<uchar> src = pattern(bytes);
    std::vector<uchar> dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// The same copy into a buffer allocated for each frame, as a converted image is.
void memcpyFreshFrame(benchmark::State &state, int channels)
{
    const std::size_t bytes = std::size_t(state.range(0)) * state.range(1) * channels;
    const std::vector<uchar> src = pattern(bytes);
    for (auto _ : state) {
        std::unique_ptr<uchar[]> dst(new uchar[bytes]);
        std::memcpy(dst.get(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void convertFrame(benchmark::State &state, int type)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const int channels = CV_MAT_CN(type);
    std::vector<uchar> src = pattern(std::size_t(width) * height * channels);
    const cv::Mat mat(height, width, type, src.data());
    for (auto _ : state) {
        QImage image = cvMatToQImage(mat);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.size()));
}

void BM_MemcpyGrey(benchmark::State &state) { memcpyFrame(state, 1); }
void BM_MemcpyFreshGrey(benchmark::State &state) { memcpyFreshFrame(state, 1); }
void BM_ConvertGrey(benchmark::State &state) { convertFrame(state, CV_8UC1); }
void BM_MemcpyFreshColour(benchmark::State &state) { memcpyFreshFrame(state, 3); }
void BM_MemcpyColour(benchmark::State &state) { memcpyFrame(state, 3); }
void BM_ConvertColour(benchmark::State &state) { convertFrame(state, CV_8UC3); }

// What Qt alone would do for a colour frame: wrap and take the red/blue-swapped copy.
void BM_QtRgbSwappedColour(benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    std::vector<uchar> src = pattern(std::size_t(width) * height * 3);
    for (auto _ : state) {
        const QImage wrapped(src.data(), width, height, width * 3, QImage::Format_RGB888);
        QImage image = wrapped.rgbSwapped();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.size()));
}

// A grey frame scaled to the picture label's area: scaleForDisplay against what
// the label did itself (the frame in RGB32, smoothly scaled by Qt, whose image
// threads share the work: processor time counts every thread).
QImage greyFrame(int width, int height)
{
    const std::vector<uchar> data = pattern(std::size_t(width) * height);
    const cv::Mat mat(height, width, CV_8UC1, const_cast<uchar *>(data.data()));
    return cvMatToQImage(mat);
}

// Grey when the fifth argument is 1, colour when it is 3.
QImage displayFrame(const benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    if (state.range(4) == 1)
        return greyFrame(width, height);
    const std::vector<uchar> data = pattern(std::size_t(width) * height * 3);
    const cv::Mat mat(height, width, CV_8UC3, const_cast<uchar *>(data.data()));
    return cvMatToQImage(mat);
}

void BM_DisplayScaleGrey(benchmark::State &state)
{
    const QImage frame = displayFrame(state);
    const QSize area(int(state.range(2)), int(state.range(3)));
    for (auto _ : state) {
        QImage shown = scaleForDisplay(frame, area);
        benchmark::DoNotOptimize(shown.constBits());
    }
}

// The statistics window's figures of a whole frame, five times a second when
// it is shown: the histogram and the focus score, grey (1) or colour (3).
// A frame of range(0) x range(1) pixels of range(2) channels: the varied
// pattern, or with range(3) 1 flat stripes 160 pixels wide, as the simulated
// camera's bars (runs of one level, where a histogram's counts wait on each other).
QImage statsFrame(const benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const int channels = int(state.range(2));
    std::vector<uchar> data = pattern(std::size_t(width) * height * channels);
    if (state.range(3) == 1)
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = uchar((i / std::size_t(channels) % std::size_t(width)) / 160 * 36 + i % std::size_t(channels));
    const cv::Mat mat(height, width, channels == 1 ? CV_8UC1 : CV_8UC3, const_cast<uchar *>(data.data()));
    return cvMatToQImage(mat);
}

void BM_Histogram(benchmark::State &state)
{
    const QImage frame = statsFrame(state);
    for (auto _ : state) {
        const framestats::Histogram h = framestats::histogram(frame, frame.rect());
        benchmark::DoNotOptimize(h.bins[0][0]);
    }
}

void BM_FocusScore(benchmark::State &state)
{
    const QImage frame = statsFrame(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(framestats::focusScore(frame, frame.rect()));
}

// Both in one pass, as the statistics window asks for them.
void BM_Analyse(benchmark::State &state)
{
    const QImage frame = statsFrame(state);
    for (auto _ : state) {
        const framestats::Analysis a = framestats::analyse(frame, frame.rect());
        benchmark::DoNotOptimize(a.focusScore);
    }
}

void BM_QtSmoothScaleGrey(benchmark::State &state)
{
    const QImage frame = displayFrame(state);
    const QSize area(int(state.range(2)), int(state.range(3)));
    for (auto _ : state) {
        QImage shown = frame.convertToFormat(QImage::Format_RGB32)
                           .scaled(area, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(shown.constBits());
    }
}

// 512 x 512 and the large sensors into the label at the window's default
// size: width, height, label width, label height, bytes per pixel.
void displayArgs(benchmark::internal::Benchmark *b)
{
    b->Args({ 512, 512, 640, 724, 1 });
    b->Args({ 1280, 1024, 640, 724, 1 });
    b->Args({ 1280, 1024, 640, 724, 3 });
    b->Args({ 2048, 2048, 640, 724, 1 });
    b->Args({ 2448, 2048, 640, 724, 3 });
}

// Frames pushed through frameCallback as fast as the loop takes them; the
// receiver lives on the main thread, as the window does. Reports frames per
// second received and the frames the loop skipped while two were on their way.
void BM_Pipeline(benchmark::State &state, int bits)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const std::vector<uchar> src = pattern(std::size_t(width) * height * (bits / 8));
    FrameInfo info {};
    info.nWidth = uint32_t(width);
    info.nHeight = uint32_t(height);
    info.nBitCount = uint32_t(bits);

    WorkThread worker;
    std::atomic<int> received { 0 };
    QObject receiver;
    QObject::connect(&worker, &WorkThread::sig_GetOneFrame, &receiver, [&](const QImage &) {
        worker.frameArrived();
        received.fetch_add(1);
    });
    cameraOpened.store(1); // the loop must not try to open a camera here
    bufferState[0].store(0);
    worker.start();

    const int framesPerRound = 30;
    int64_t delivered = 0;
    for (auto _ : state) {
        // Frames the loop skips while two are on their way never arrive.
        const int64_t target = received.load() + int64_t(worker.framesSkipped()) + framesPerRound;
        int sent = 0;
        while (sent < framesPerRound) {
            const uint8_t before = bufferState[0].load(std::memory_order_acquire);
            if ((before & (FirstBufferFull | SecondBufferFull)) == (FirstBufferFull | SecondBufferFull)) {
                QCoreApplication::processEvents();
                continue; // both buffers full: wait, to measure the sustained rate
            }
            frameCallback(const_cast<uchar *>(src.data()), &info, nullptr);
            ++sent;
            QCoreApplication::processEvents();
        }
        while (received.load() + int64_t(worker.framesSkipped()) < target)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        delivered += framesPerRound;
    }
    worker.shutdown();
    state.counters["frames_per_s"] = benchmark::Counter(
        double(delivered - int64_t(worker.framesSkipped())), benchmark::Counter::kIsRate);
    state.counters["skipped"] = double(worker.framesSkipped());
}

void BM_PipelineGrey(benchmark::State &state) { BM_Pipeline(state, 8); }
void BM_PipelineColour(benchmark::State &state) { BM_Pipeline(state, 24); }

// Time from the frame callback's call to the receiving slot on the main thread,
// for 1280 x 1024 grey frames at an even pace (a camera at 200 frames per
// second), with the loop polling or waiting for frames. Reports the median and
// the 99th percentile in microseconds, and how long ending the loop took.
void BM_CallbackToSlotLatency(benchmark::State &state, bool waiting)
{
    using Clock = std::chrono::steady_clock;
    const int width = 1280, height = 1024, frames = 1000;
    const auto interval = std::chrono::milliseconds(5);
    std::vector<uchar> src = pattern(std::size_t(width) * height);
    FrameInfo info {};
    info.nWidth = uint32_t(width);
    info.nHeight = uint32_t(height);
    info.nBitCount = 8;

    for (auto _ : state) {
        std::vector<Clock::time_point> sent(frames);
        std::vector<double> latencyUs;
        latencyUs.reserve(frames);
        std::atomic<int> dropped { 0 };

        WorkThread worker;
        worker.setWaitForFrames(waiting);
        QObject receiver;
        QObject::connect(&worker, &WorkThread::sig_GetOneFrame, &receiver, [&](const QImage &img) {
            worker.frameArrived();
            const auto now = Clock::now();
            int number;
            std::memcpy(&number, img.constBits(), sizeof number);
            latencyUs.push_back(
                std::chrono::duration<double, std::micro>(now - sent[std::size_t(number)]).count());
        });
        cameraOpened.store(1);
        bufferState[0].store(0);
        worker.start();

        std::atomic<bool> done { false };
        std::thread camera([&] {
            auto next = Clock::now();
            for (int n = 0; n < frames; ++n) {
                next += interval;
                std::this_thread::sleep_until(next);
                std::memcpy(src.data(), &n, sizeof n);
                sent[std::size_t(n)] = Clock::now();
                const uint8_t full = bufferState[0].load() & (FirstBufferFull | SecondBufferFull);
                if (full == (FirstBufferFull | SecondBufferFull))
                    ++dropped;
                frameCallback(src.data(), &info, nullptr);
            }
            done.store(true);
        });
        while (!done.load() || int(latencyUs.size()) + dropped.load() + int(worker.framesSkipped()) < frames)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        camera.join();

        const auto stopStart = Clock::now();
        worker.shutdown(); // what Stop does once the SDK has been told
        const double stopUs = std::chrono::duration<double, std::micro>(Clock::now() - stopStart).count();

        std::sort(latencyUs.begin(), latencyUs.end());
        const auto at = [&](double q) { return latencyUs[std::size_t(q * double(latencyUs.size() - 1))]; };
        state.counters["p50_us"] = at(0.50);
        state.counters["p99_us"] = at(0.99);
        state.counters["max_us"] = latencyUs.back();
        state.counters["dropped"] = dropped.load();
        state.counters["skipped"] = double(worker.framesSkipped());
        state.counters["stop_us"] = stopUs;
    }
}

void BM_LatencyPolling(benchmark::State &state) { BM_CallbackToSlotLatency(state, false); }
void BM_LatencyWaiting(benchmark::State &state) { BM_CallbackToSlotLatency(state, true); }

} // namespace

BENCHMARK(BM_MemcpyGrey)->Apply(sizeArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyFreshGrey)->Apply(sizeArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertGrey)->Apply(sizeArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyColour)->Apply(sizeArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyFreshColour)->Apply(sizeArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertColour)->Apply(sizeArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtRgbSwappedColour)->Apply(sizeArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DisplayScaleGrey)->Apply(displayArgs)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_QtSmoothScaleGrey)->Apply(displayArgs)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Histogram)->Args({ 1280, 1024, 1, 0 })->Args({ 1280, 1024, 3, 0 })->Args({ 1280, 1024, 1, 1 })->Args({ 1280, 1024, 3, 1 })->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FocusScore)->Args({ 1280, 1024, 1, 0 })->Args({ 1280, 1024, 3, 0 })->Args({ 1280, 1024, 1, 1 })->Args({ 1280, 1024, 3, 1 })->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Analyse)->Args({ 1280, 1024, 1, 0 })->Args({ 1280, 1024, 3, 0 })->Args({ 1280, 1024, 1, 1 })->Args({ 1280, 1024, 3, 1 })->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelineGrey)->Apply(sizeArgs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PipelineColour)->Apply(sizeArgs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LatencyPolling)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LatencyWaiting)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    // As the program does; BENCH_SYSTEM_MALLOC=1 measures the C library defaults.
    if (!qEnvironmentVariableIsSet("BENCH_SYSTEM_MALLOC"))
        keepFrameMemoryInProcess();
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {}); // the per-frame log lines
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
