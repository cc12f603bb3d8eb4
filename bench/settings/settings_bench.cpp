// Reading Control.ini and filling the key table, window position and system settings (the
// start-up's settings step), and Save_all, for our own file and for hand-made large ones.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "settings/default_file.hpp"
#include "settings/fakes.hpp"
#include "settings/settings_binding.hpp"

namespace {

using settings_test::kDefaultFile;

constexpr int kTenMb = 10 * 1024 * 1024;

// 0: the file a first save writes; 1: plus a 10 MB comment line; 2: plus 10 MB of
// 80-character comment lines; 3: a 3 MB description.
QByteArray fileOfShape(int shape) {
    QByteArray file = kDefaultFile;
    switch (shape) {
        case 1:
            file += ';' + QByteArray(kTenMb, 'z') + "\r\n";
            break;
        case 2:
            for (QByteArray line = ';' + QByteArray(77, 'z') + "\r\n"; file.size() < kTenMb;)
                file += line;
            break;
        case 3:
            file.replace("Descript=\xD1\xF2\xE0\xF0\xF2",
                         "Descript=" + QByteArray(3 * 1024 * 1024, '\xE0'));
            break;
        default:
            break;
    }
    return file;
}

struct Files {
    QTemporaryDir dir;
    QString path;
    explicit Files(int shape) : path(dir.filePath("Control.ini")) {
        settings_test::writeBytes(path, fileOfShape(shape));
    }
};

void BM_LoadSettings(benchmark::State& state) {
    Files files(static_cast<int>(state.range(0)));
    settings_test::FakeKeyTable keys;
    settings_test::FakeWindow window;
    keymap::SystemSettings system;
    for (auto _ : state) {
        settings::IniFile ini(files.path);
        settings::load(ini, keys, window, system);
        benchmark::DoNotOptimize(keys.rows.data());
    }
    state.SetBytesProcessed(state.iterations() *
                            fileOfShape(static_cast<int>(state.range(0))).size());
}
BENCHMARK(BM_LoadSettings)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_SaveAll(benchmark::State& state) {
    Files files(static_cast<int>(state.range(0)));
    settings_test::FakeKeyTable keys;
    settings_test::FakeWindow window;
    keymap::SystemSettings system;
    settings::IniFile ini(files.path);
    settings::load(ini, keys, window, system);
    for (auto _ : state) settings::Save_all(ini, keys, window, system);
}
BENCHMARK(BM_SaveAll)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
