// vandrel-snapshot: renders the dashboard from a status record to a PNG (a BMP in the
// Windows build), for docs, reviews and the reference images. Exit codes: 0 written, 1
// the picture or record could not be written, 2 bad arguments or an unusable record file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "record/shared_status.h"
#include "render/dashboard.h"
#include "tools/image_writer.h"
#include "tools/record_generator.h"
#include "tools/reference_cases.h"

namespace {

using namespace vandrel;

constexpr const char* kUsage =
    "Usage: vandrel-snapshot [options] RECORD.bin OUT.png\n"
    "       vandrel-snapshot [options] --demo OUT.png\n"
    "       vandrel-snapshot [options] --cases DIR\n"
    "\n"
    "Renders the 752 x 445 dashboard from a status record and writes it, pixel for\n"
    "pixel, to OUT.png (a BMP in the Windows build). RECORD.bin holds the raw bytes\n"
    "of the shared status object (at least 127148 bytes; anything after them is\n"
    "ignored). Update cycles run until one draws nothing (at most 1000).\n"
    "\n"
    "Options:\n"
    "  --demo                render a generated record instead of a file\n"
    "  --message             (with --demo) the worker asks for attention\n"
    "  --seed N              (with --demo) seed of the generated record, default 1\n"
    "  --write-record FILE   (with --demo) also save the generated record's bytes\n"
    "  --cases DIR           render every record of the reference table into DIR:\n"
    "                        NAME.png (or .bmp) and the record NAME.bin\n"
    "  --header PATH         header bitmap, default header.bmp in the current\n"
    "                        directory; a missing file leaves the header black\n"
    "  --help                show this text\n"
    "\n"
    "Exit codes: 0 written; 1 an output file could not be written; 2 bad arguments\n"
    "or a record file that is missing, unreadable or shorter than 127148 bytes.\n";

constexpr int kMaxCycles = 1000;

struct Arguments {
    bool demo = false, message = false;
    uint32_t seed = 1;
    const char* header = "header.bmp";
    const char* writeRecord = nullptr;
    const char* casesDir = nullptr;
    std::vector<const char*> files;
};

int fail(int code, const std::string& text) {
    std::fprintf(stderr, "vandrel-snapshot: %s\n", text.c_str());
    return code;
}

bool parseSeed(const char* text, uint32_t& seed) {
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (text[0] == '\0' || text[0] == '-' || *end != '\0' || errno != 0 || v > UINT32_MAX) {
        return false;
    }
    seed = static_cast<uint32_t>(v);
    return true;
}

// Returns an empty string when the arguments are good, else the one-line complaint.
std::string parse(int argc, char** argv, Arguments& a, bool& help) {
    help = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            help = true;
            return {};
        } else if (arg == "--demo") {
            a.demo = true;
        } else if (arg == "--message") {
            a.message = true;
        } else if (arg == "--header") {
            if (!value(a.header))
                return "--header needs a path";
        } else if (arg == "--write-record") {
            if (!value(a.writeRecord))
                return "--write-record needs a file name";
        } else if (arg == "--cases") {
            if (!value(a.casesDir))
                return "--cases needs a directory";
        } else if (arg == "--seed") {
            const char* text = nullptr;
            if (!value(text) || !parseSeed(text, a.seed))
                return "--seed needs a number";
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg + " (try --help)";
        } else {
            a.files.push_back(argv[i]);
        }
    }
    if (a.casesDir != nullptr) {
        if (a.demo || !a.files.empty() || a.message || a.writeRecord != nullptr || a.seed != 1)
            return "--cases takes no other record or file (try --help)";
        return {};
    }
    const size_t wanted = a.demo ? 1 : 2;
    if (a.files.size() != wanted) {
        return a.demo ? "--demo takes one output file (try --help)"
                      : "expected RECORD.bin OUT.png (try --help)";
    }
    if (!a.demo && (a.message || a.writeRecord != nullptr || a.seed != 1)) {
        return "--message, --seed and --write-record need --demo";
    }
    return {};
}

// The record as the saver would see it: the first bytes of the object, in an aligned
// buffer. Only the part the saver uses is read, so a huge or endless file is fine.
bool readRecord(const char* path, std::vector<uint64_t>& words, std::string& error) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        error = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    size_t got = std::fread(words.data(), 1, rec::recordSize, f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = std::string("cannot read ") + path;
        return false;
    }
    if (got < rec::recordSize) {
        error = std::string(path) + " holds " + std::to_string(got) + " bytes, a record needs " +
                std::to_string(rec::recordSize);
        return false;
    }
    return true;
}

bool writeRecord(const char* path, const std::vector<uint64_t>& words, std::string& error) {
    FILE* f = std::fopen(path, "wb");
    bool ok = f != nullptr && std::fwrite(words.data(), 1, rec::recordSize, f) == rec::recordSize;
    if (f != nullptr && std::fclose(f) != 0)
        ok = false;
    if (!ok)
        error = std::string("cannot write ") + path;
    return ok;
}

uint32_t stoppedClock(void*) {
    return 0;
}

// Every case of the reference table: its picture and its record. The clock stands still,
// so the plot's time budget never cuts a cycle short and a single tick is reproducible.
int renderCases(const char* dir, const char* header) {
    for (const ReferenceCase& c : referenceCases()) {
        std::vector<uint64_t> words((rec::recordSize + 7) / 8, 0);
        SharedStatus status(words.data());
        Dashboard dashboard(status, false, header, Clock{stoppedClock, nullptr});
        c.fill(status);
        const std::string base = std::string(dir) + "/" + c.name;
        std::string error;
        // The record as it was served, before the cycles cleared its flags.
        if (!writeRecord((base + ".bin").c_str(), words, error))
            return fail(1, error);
        for (int32_t cycle = 0; cycle < c.cycles && dashboard.updateFromStatus(); ++cycle) {
        }
        const Canvas& canvas = dashboard.canvas();
        if (!writeImage((base + kImageExtension).c_str(), canvas.pixels(), canvas.width(),
                        canvas.height(), error)) {
            return fail(1, error);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    bool help = false;
    std::string problem = parse(argc, argv, args, help);
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!problem.empty())
        return fail(2, problem);
    if (args.casesDir != nullptr)
        return renderCases(args.casesDir, args.header);

    std::vector<uint64_t> words((rec::recordSize + 7) / 8, 0);
    std::string error;
    if (!args.demo && !readRecord(args.files[0], words, error))
        return fail(2, error);
    const char* out = args.files.back();

    SharedStatus status(words.data());
    // Built first, as the saver does: it writes the plot area the generator sizes from.
    Dashboard dashboard(status, false, args.header);
    if (args.demo) {
        GeneratorOptions options;
        options.seed = args.seed;
        options.message = args.message;
        RecordGenerator generator(status, options);
        // A third of the way through the unit, with the plot of the current pass full.
        generator.step(7 * options.passMs + 3000);
        generator.step(generator.msUntilPlotFull());
        generator.publishAll();
        if (args.writeRecord != nullptr && !writeRecord(args.writeRecord, words, error)) {
            return fail(1, error);
        }
    }

    for (int cycle = 0; cycle < kMaxCycles && dashboard.updateFromStatus(); ++cycle) {
    }

    const Canvas& canvas = dashboard.canvas();
    if (!writeImage(out, canvas.pixels(), canvas.width(), canvas.height(), error)) {
        return fail(1, error);
    }
    return 0;
}
