// tavixctl's command channel: one parameter query and the camera's report,
// on loopback, against a simulated camera served from this process (as the
// tool's own runs are).
//
// Needs the simulated SDK library: TAVIX_TEST_SDK, or liblink.so in the build
// folder above this program. Binds UDP port 3956: run under the port lock.
#include "camera/sdkbinding.h"
#include "core/testports.h"
#include "ctl/cameras.h"
#include "ctl/commandclient.h"

#include <QCoreApplication>
#include <QDir>

#include <benchmark/benchmark.h>

namespace {

void BM_GetRoundTrip(benchmark::State &state)
{
    QString sdk = QString::fromLocal8Bit(qgetenv("TAVIX_TEST_SDK"));
    if (sdk.isEmpty())
        sdk = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../liblink.so"));
    if (!loadSdk(sdk)) {
        state.SkipWithError("simulated SDK not found");
        return;
    }
    const QVector<ctl::CameraEntry> cameras = ctl::enumerateCameras();
    const ctl::Resolution resolution = ctl::resolveCamera(cameras, QStringLiteral("127.0.0.2"));
    ctl::CommandClient channel(commandPortWithTestOverride());
    QString error;
    QString warning;
    if (!resolution.target || !channel.open(&error, &warning)) {
        state.SkipWithError("no camera or no command socket");
        return;
    }
    for (auto _ : state) {
        const auto answer = channel.request(*resolution.target, paramcat::parameterQuery(), 2000);
        if (answer.kind != ctl::CommandClient::Answer::Kind::Reply) {
            state.SkipWithError("no report");
            return;
        }
    }
}
BENCHMARK(BM_GetRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
