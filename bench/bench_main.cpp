// zovex-bench: Google Benchmark with a headless QApplication (fonts need a GUI application,
// the window benchmarks a widget one).
//
// Unless QT_QPA_PLATFORM says otherwise, the offscreen platform with two screens side by side,
// each large enough for a designer window: "ordinary" (1920 x 1080, device pixel ratio 1, the
// primary one) and "hidpi" (the same logical size at ratio 2). The window benchmarks place their
// windows on one or the other, so both ratios are measured in one run. The same file serves any
// other build of zovex-bench run as the peer:
//   QT_QPA_PLATFORM=offscreen:configfile=$TMPDIR/zovex-bench-screens.json peer-zovex-bench ...
#include <QApplication>
#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

namespace {

QByteArray twoScreenPlatform()
{
    const QString path = QDir::temp().filePath(QStringLiteral("zovex-bench-screens.json"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return "offscreen";
    f.write(R"({"screens": [
  {"name": "ordinary", "x": 0, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
  {"name": "hidpi", "x": 1920, "y": 0, "width": 3840, "height": 2160, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 2}
]}
)");
    f.close();
    return "offscreen:configfile=" + QFile::encodeName(path);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", twoScreenPlatform());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
