// What the user waits for: each sample a fresh process that starts the real
// window on the offscreen platform over a program folder, loads the database and
// ends once the list has painted. The parent times the whole process and reads its
// peak resident memory. Also opening the largest database in a fresh process,
// against reading its file and deciphering every line into one buffer.

#include "app/frm_scrn.h"
#include "bench_data.h"
#include "product/product.h"
#include "ratio_reporter.h"
#include "settings/reg_file_registry.h"
#include "storage/data_file.h"
#include "storage/line_cipher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Samples = 7;

// ---- the child: one sample -------------------------------------------------

// Ends the process once the list has been painted after the load.
class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

int startWindow(const char* folder)
{
    int argc = 1;
    char name[] = "startup_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    kv::RegFileRegistry registry(std::filesystem::path(folder) / "settings.reg");
    kv::Environment env;
    env.programFolder = folder;
    env.registry = &registry;
    env.clock = [] { return QDateTime::currentDateTime(); };
    env.openWithDefaultHandler = [](const QString&, QWidget*) {};
    kv::FrmScrn window(env);
    window.show();
    window.loadDatabase();
    auto* list = window.findChild<QTableView*>(QStringLiteral("ListView1"));
    PaintWatch watch;
    list->viewport()->installEventFilter(&watch);
    list->viewport()->update();
    QElapsedTimer waited;
    waited.start();
    while (!watch.painted && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return watch.painted && list->model()->rowCount() >= 0 ? 0 : 1;
}

// The child times its own work for these two, so that starting a process, the
// same for both, does not hide the difference.
double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int openDatabase(const char* folder)
{
    const auto start = std::chrono::steady_clock::now();
    kv::RecordTable rows;
    const bool ok = kv::LoadDatabase(folder, "db1", rows) && rows.size() > 0;
    std::printf("%.9f\n", secondsSince(start));
    return ok ? 0 : 1;
}

// The least any open could cost: the file read and every line deciphered into one
// buffer, nothing else.
int readAndDecipher(const char* folder)
{
    const auto begin = std::chrono::steady_clock::now();
    std::string content;
    if (!kv::realFileOps().readAll(std::filesystem::path(folder) / "db1.ksd", content))
        return 1;
    std::string plain(content.size() / 2 + 1, '\0');
    char* at = plain.data();
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string_view line(content.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        kv::decodeBytesTo(line, kv::AppTitle, at);
        at += (line.size() + 1) / 2;
        start = end + 1;
    }
    std::printf("%.9f\n", secondsSince(begin));
    return at > plain.data() ? 0 : 1;
}

// ---- the parent --------------------------------------------------------------

struct Sample
{
    double seconds = 0;
    long peakKiB = 0;
};

// A sample's time is the whole process's, or the one the child reports when it
// prints one.
Sample run(const char* self, const char* mode, const std::filesystem::path& folder)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(self, self, "--child", mode, folder.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string said;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
        said.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    Sample sample;
    sample.seconds = secondsSince(started);
    if (!said.empty())
        sample.seconds = std::strtod(said.c_str(), nullptr);
    sample.peakKiB = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "sample %s %s failed\n", mode, folder.c_str());
    return sample;
}

struct Medians
{
    double seconds;
    double peakMiB;
};

Medians measure(const char* self, const char* mode, const std::filesystem::path& folder)
{
    run(self, mode, folder); // the first run warms the file cache and the libraries
    std::vector<double> seconds;
    std::vector<double> peaks;
    for (int i = 0; i < Samples; ++i) {
        const Sample s = run(self, mode, folder);
        seconds.push_back(s.seconds);
        peaks.push_back(s.peakKiB / 1024.0);
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(peaks.begin(), peaks.end());
    return {seconds[Samples / 2], peaks[Samples / 2]};
}

// The text the file holds once deciphered: half of every line's digits.
double decipheredMiB(const std::filesystem::path& folder)
{
    std::string content;
    kv::realFileOps().readAll(folder / "db1.ksd", content);
    std::size_t digits = 0;
    for (const char c : content)
        digits += c != '\r' && c != '\n';
    return digits / 2.0 / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
        const std::string mode = argv[2];
        if (mode == "window")
            return startWindow(argv[3]);
        if (mode == "open")
            return openDatabase(argv[3]);
        if (mode == "read")
            return readAndDecipher(argv[3]);
        return 2;
    }
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return 1;
    self[length] = '\0';

    const std::vector<kv::Record> largest = kvbench::makeRecords(kvbench::LargestDatabase);
    const std::filesystem::path empty = kvbench::makeDatabaseFolder({}, "empty");
    const std::filesystem::path middle =
        kvbench::makeDatabaseFolder(std::vector<kv::Record>(largest.begin(), largest.begin() + 10000), "ten-thousand");
    const std::filesystem::path large = kvbench::makeDatabaseFolder(largest, "largest");

    std::printf("Each figure: the median of %d fresh processes.\n\n", Samples);
    std::printf("%-28s %12s %16s\n", "start-up", "wall time", "peak resident");
    const Medians none = measure(self, "window", empty);
    const Medians tenThousand = measure(self, "window", middle);
    const Medians most = measure(self, "window", large);
    std::printf("%-28s %9.1f ms %12.1f MiB\n", "empty database", none.seconds * 1e3, none.peakMiB);
    std::printf("%-28s %9.1f ms %12.1f MiB\n", "10,000 records", tenThousand.seconds * 1e3, tenThousand.peakMiB);
    std::printf("%-28s %9.1f ms %12.1f MiB\n", "32,766 records", most.seconds * 1e3, most.peakMiB);

    const double text = decipheredMiB(large);
    const double added = most.peakMiB - none.peakMiB;
    std::printf("\n32,766 records add %.1f MiB of peak memory for %.1f MiB of deciphered text (%.2fx)\n", added, text,
                added / text);

    const Medians open = measure(self, "open", large);
    const Medians read = measure(self, "read", large);
    std::printf("opening them in a fresh process: %.1f ms; reading and deciphering the file: %.1f ms\n\n",
                open.seconds * 1e3, read.seconds * 1e3);

    kvbench::printTableRow("start-up, 32,766 records", kvbench::milliseconds(most.seconds * 1e3),
                           kvbench::milliseconds(none.seconds * 1e3) + " (empty)", most.seconds / none.seconds, 1.35);
    char addedText[64];
    char textText[64];
    std::snprintf(addedText, sizeof addedText, "%.1f MiB added", added);
    std::snprintf(textText, sizeof textText, "%.1f MiB of text", text);
    kvbench::printTableRow("memory, 32,766 records", addedText, textText, added / text, 2.0);
    kvbench::printTableRow("open (cold, fresh process)", kvbench::milliseconds(open.seconds * 1e3),
                           kvbench::milliseconds(read.seconds * 1e3) + " (read+decipher)", open.seconds / read.seconds,
                           1.5);

    for (const auto& folder : {empty, middle, large})
        std::filesystem::remove_all(folder);
    return 0;
}
