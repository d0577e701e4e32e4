// The main window's costs on a volume of SAMPLES samples (200 by default, at most 510):
// the block reads and time of listing it in the item view against the same reads
// through the volume reader alone, and the time of exporting it from the window (from
// the folder browser's OK to the end) against `carvox-cli export`; and, apart, how
// long the browser takes to come up. Prints; asserts nothing.
#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "akai/ImageFileSource.h"
#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/CMainFrame.h"
#include "bench/BenchMeasures.h"
#include "export/SoundBankBuilder.h"
#include "tests/akai/reader/SourceDoubles.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/akaiimage/AkaiImageBuilder.h"
#include "tools/cli/ExportCommand.h"

namespace {

namespace fs = std::filesystem;

// One directory block holds 341 entries; two (an S3000 volume on media with real
// headers) hold 510, the most a volume has.
constexpr int kOneBlockFiles = 341;
constexpr int kMostFiles = 510;

// One volume "SAMPLES" of `count` S1000 samples of 20,000 words each.
akaiimage::DiscDescription SampleVolume(int count) {
  akaiimage::VolumeEntry volume{.name = "SAMPLES"};
  for (int i = 0; i < count; ++i) {
    akaiimage::SampleDescription sample;
    sample.name = "TONE " + std::to_string(i);
    sample.words.assign(20000, static_cast<int16_t>(i * 100));
    akaiimage::FileEntry file;
    file.name = sample.name;
    file.data = akaiimage::WriteSampleFile(sample);
    volume.files.push_back(file);
  }
  akaiimage::DiscDescription disc;
  if (count > kOneBlockFiles) {
    disc.realHeaders = true;
    volume.type = 3;
    volume.directoryBlocks = 2;
  }
  disc.partitions.push_back({static_cast<uint16_t>(count * 5 + 10), {volume}});
  return disc;
}

struct WindowExportTimes {
  double browser;    // from the command to the browser's OK
  double exporting;  // from the OK to the end of the command
};

// The window's export of every row into `folder`, the browser answered as soon as it
// is up. The export is timed from the browser's OK, as the user waits for it.
WindowExportTimes ExportFromWindow(CMainFrame& frame, const fs::path& folder) {
  using Clock = std::chrono::steady_clock;
  fs::create_directories(folder);  // the browser opens only folders that exist
  frame.GetItemView()->selectAll();
  const Clock::time_point start = Clock::now();
  Clock::time_point accepted = start;
  QTimer::singleShot(0, [folder, &accepted] {
    auto* browser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    browser->setDirectory(QString::fromStdString(folder.string()));
    accepted = Clock::now();
    static_cast<QDialog*>(browser)->accept();
  });
  frame.ExportSelection();
  const Clock::time_point end = Clock::now();
  return {std::chrono::duration<double>(accepted - start).count(), std::chrono::duration<double>(end - accepted).count()};
}

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::atoi(argv[1]) : 200;
  if (samples < 1 || samples > kMostFiles) {
    std::fprintf(stderr, "carvox_app_bench: SAMPLES must be 1..%d, the most files a volume holds\n", kMostFiles);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  const fs::path work = fs::temp_directory_path() / "carvox-app-bench";
  fs::remove_all(work);
  fs::create_directories(work);
  // The window's settings go to a machine of the benchmark's own, and the folder
  // browser's (Qt keeps them in the configuration folder) to a folder of its own, not
  // the user's.
  setenv("CARVOX_MACHINE", (work / "machine").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
  const fs::path image = work / "samples.img";
  akaiimage::WriteImage(SampleVolume(samples), image);

  ImageFileSource file(image);
  testsupport::CountingSource counting(file);
  int status = 0;
  {
    PlaybackEngine engine;
    SoundBankBuilder builder;
    CMainFrame frame(engine, builder);
    frame.Create();
    frame.AttachDisc(counting);
    frame.OnRefresh();
    counting.Forget();
    frame.ListVolume(0, 0);
    const size_t listReads = counting.requests().size();

    AkaiVolumeReader reader(counting);
    reader.ReadPartitions();
    reader.ReadVolumes(0);
    const std::vector<double> listing = bench::BestOfEach({
        [&] { frame.ListVolume(0, 0); },
        [&] {
          reader.ReadFiles(0, 0);
          const std::vector<AkaiFile> files(reader.files().begin(), reader.files().end());
          for (const AkaiFile& file : files) reader.LoadSample(0, 0, file.name, false);
        },
    });
    const double listSeconds = listing[0];
    const double readerSeconds = listing[1];
    std::printf("ListVolume of %d samples: %zu block reads (goal: %d); best of %d runs each, side by side: %.4f s, "
                "reader alone %.4f s: %.2fx (goal: at most 1.5x)\n",
                samples, listReads, samples + (samples > kOneBlockFiles ? 2 : 1), bench::kRuns, listSeconds, readerSeconds,
                listSeconds / readerSeconds);

    // The exports read the image file itself, as the window does with an image: the
    // counting double would keep the window from copying the words file to file.
    frame.AttachDisc(file);
    frame.OnRefresh();
    frame.GetContentsView()->topLevelItem(0)->setSelected(true);
    frame.ListVolume(0, 0);
    std::ostream discard(nullptr);
    double browserBest = 1e9;
    const std::vector<double> best = bench::BestOfMeasured(
        {[&] {
           const WindowExportTimes times = ExportFromWindow(frame, work / "window");
           browserBest = std::min(browserBest, times.browser);
           return times.exporting;
         },
         [&] {
           return bench::Seconds([&] {
             status = cli::RunExport({.image = image, .outputDir = work / "cli", .partition = "A", .volumeIndex = 0},
                                     discard, discard);
           });
         }},
        [&](size_t) {
          fs::remove_all(work / "window");
          fs::remove_all(work / "cli");
        });
    std::printf("export of the volume, best of %d runs each, side by side: window %.3f s (from the folder browser's "
                "OK), carvox-cli export %.3f s: %.2fx (goal: at most 1.2x)\n",
                bench::kRuns, best[0], best[1], best[0] / best[1]);
    std::printf("the folder browser, from the command to its OK: best %.3f s\n", browserBest);
  }
  fs::remove_all(work);
  return status;
}
