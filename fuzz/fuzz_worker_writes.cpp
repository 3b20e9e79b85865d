// The update cycle driven the way a worker writes: each input is a short program of
// field writes, flag changes, row fills and updates on a valid record, where an update
// can pause between its steps or rows to run more of the program, as a worker writes
// while the saver draws. Cheap updates on a small program give many more runs a second
// than whole records do, and reach the moments between reading a value and using it.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/dashboard.h"
#include "tools/record_generator.h"
#include "tools/record_writes.h"

namespace {
using namespace vandrel;

enum Op : uint8_t { kWrite, kSetFlag, kClearFlag, kFillRow, kUpdate, kYield, kTime, kOpCount };
constexpr int kMaxUpdates = 8;
constexpr uint8_t kNoPause = 255;

class Program {
  public:
    Program(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool done() const { return at_ >= size_; }
    uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
    uint64_t bits(size_t n) {
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v |= static_cast<uint64_t>(next()) << (8 * i);
        return v;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

struct Fixture {
    Fixture();
    void run(Program& p);
    // Runs one operation; false when it ends a run of writes inside an update.
    bool step(Program& p);
    void write(Program& p);
    void fillRow(Program& p);
    void pause();
    void checkOnlyFlagsCleared();
    [[noreturn]] static void fail(size_t offset, uint32_t old, uint32_t current);

    // Exactly the record's size, so that a store just past its end is an ASan report.
    std::vector<uint32_t> words = std::vector<uint32_t>(rec::recordSize / 4, 0);
    std::vector<uint32_t> valid, before;
    std::vector<size_t> flagOffsets;
    SharedStatus status{words.data()};
    uint32_t now = 0;
    Dashboard dashboard{status, true, "no-header.bmp", Clock{clockNow, this}};
    Program* program = nullptr;
    bool inUpdate = false;
    int pausesToSkip = -1;  // before the next run of writes inside this update; -1: none
    int updatesLeft = 0;

    static uint32_t clockNow(void* self) {
        auto* f = static_cast<Fixture*>(self);
        f->pause();
        return f->now;
    }
    static void stepHook(void* self) { static_cast<Fixture*>(self)->pause(); }
};

// A record as the worker leaves it once the saver has served everything: a full plot,
// every part shown, every flag clear.
Fixture::Fixture() {
    GeneratorOptions options;
    RecordGenerator worker(status, options);
    worker.publishAll();
    while (worker.rowsPublished() < worker.rowCount()) {
        dashboard.updateFromStatus();
        worker.step(100);
    }
    while (dashboard.updateFromStatus()) {
    }
    valid = words;
    flagOffsets.assign(writes::partFlags().begin(), writes::partFlags().end());
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i)
        flagOffsets.push_back(writes::rowFlag(i));
    dashboard.setStepHook(StepHook{stepHook, this});
}

void Fixture::pause() {
    if (!inUpdate || pausesToSkip < 0)
        return;
    if (pausesToSkip > 0) {
        --pausesToSkip;
        return;
    }
    pausesToSkip = -1;
    while (!program->done() && step(*program)) {
    }
}

void Fixture::write(Program& p) {
    const auto fields = writes::fields();
    const writes::Field& f = fields[p.next() % fields.size()];
    if (f.kind == writes::FieldKind::text) {
        const size_t length = p.next();
        const uint8_t mode = p.next();
        unsigned char bytes[UserInfo::userNameLength];
        const size_t n = length < sizeof bytes ? length : sizeof bytes;
        // Either one repeated byte or bytes taken from the program.
        const uint8_t fill = p.next();
        for (size_t i = 0; i < n; ++i)
            bytes[i] = (mode & 2) ? p.next() : fill;
        writes::writeText(status, f, bytes, n, mode & 1);
        return;
    }
    const uint32_t element = f.count > 1 ? p.next() : 0;
    const uint8_t pick = p.next();
    uint64_t bits;
    if (pick >= 128) {
        bits = p.bits(f.kind == writes::FieldKind::f64 ? 8 : 4);
    } else if (f.kind == writes::FieldKind::f32) {
        bits = std::bit_cast<uint32_t>(writes::interestingF32(pick));
    } else if (f.kind == writes::FieldKind::f64) {
        bits = std::bit_cast<uint64_t>(writes::interestingF64(pick));
    } else {
        bits = writes::interestingI32(pick);
    }
    writes::writeBits(status, f, element, bits);
}

void Fixture::fillRow(Program& p) {
    const uint8_t row = p.next(), pattern = p.next(), v = p.next();
    alignas(4) uint8_t heights[rec::plotRowHeights];
    for (size_t j = 0; j < rec::plotRowHeights; ++j) {
        switch (pattern & 3) {
            case 0:
                heights[j] = v;
                break;
            case 1:
                heights[j] = static_cast<uint8_t>(j * v);
                break;
            case 2:
                heights[j] = (j & 1) ? v : 0;
                break;
            default:
                heights[j] = j < 16 ? p.next() : heights[j % 16];
                break;
        }
    }
    writes::writeRow(status, row, heights);
    if (pattern & 0x80)
        status.markDirty(writes::rowFlag(row));
}

bool Fixture::step(Program& p) {
    const auto flags = writes::partFlags();
    const auto flagAt = [&](uint8_t i) {
        return i < flags.size() ? flags[i] : writes::rowFlag(i - flags.size());
    };
    switch (p.next() % kOpCount) {
        case kWrite:
            write(p);
            break;
        case kSetFlag: {
            const size_t flag = flagAt(p.next());
            const int8_t v = static_cast<int8_t>(p.next());
            status.storeI32(flag, v != 0 ? v : 1);
            break;
        }
        case kClearFlag:
            status.clearDirty(flagAt(p.next()));
            break;
        case kFillRow:
            fillRow(p);
            break;
        case kUpdate: {
            const uint8_t at = p.next();
            if (inUpdate)
                return false;  // the rest of this update runs without writes
            if (updatesLeft == 0)
                break;
            --updatesLeft;
            pausesToSkip = at == kNoPause ? -1 : at;
            // Without writes from the program in between, the record changes only where
            // the saver clears the flags it served.
            const bool alone = pausesToSkip < 0;
            if (alone)
                before = words;
            inUpdate = true;
            dashboard.updateFromStatus();
            inUpdate = false;
            if (alone)
                checkOnlyFlagsCleared();
            break;
        }
        case kYield: {
            const uint8_t skip = p.next();
            if (inUpdate) {
                pausesToSkip = skip == kNoPause ? -1 : skip;
                return false;
            }
            break;
        }
        case kTime:
            now += p.next() * 16u;
            break;
    }
    return true;
}

// The saver writes no worker data: a stray store inside the record is no memory error,
// so no sanitizer would see it. Flags may only have been cleared; with them set alike
// in both copies, the rest must compare equal.
void Fixture::checkOnlyFlagsCleared() {
    auto* was = reinterpret_cast<unsigned char*>(before.data());
    for (size_t flag : flagOffsets) {
        uint32_t old;
        std::memcpy(&old, was + flag, 4);
        const uint32_t current = status.loadU32(flag);
        if (current != old && current != 0)
            fail(flag, old, current);
        std::memcpy(was + flag, &current, 4);
    }
    if (std::memcmp(was, words.data(), rec::recordSize) == 0)
        return;
    for (size_t at = 0; at + 4 <= rec::recordSize; at += 4) {
        uint32_t old;
        std::memcpy(&old, was + at, 4);
        if (old != status.loadU32(at))
            fail(at, old, status.loadU32(at));
    }
}

void Fixture::fail(size_t offset, uint32_t old, uint32_t current) {
    std::fprintf(stderr, "the update wrote 0x%x over 0x%x at offset %zu\n", current, old, offset);
    std::abort();
}

void Fixture::run(Program& p) {
    std::memcpy(words.data(), valid.data(), valid.size() * sizeof valid[0]);
    now = 0;
    program = &p;
    updatesLeft = kMaxUpdates;
    while (!p.done())
        step(p);
    program = nullptr;
}

Fixture& fixture() {
    static Fixture f;
    return f;
}
}  // namespace

// Made before the first input, so the synthetic worker's code counts as no input's edges.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Program p(data, size);
    fixture().run(p);
    return 0;
}
