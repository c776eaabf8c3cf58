// Writes large, well-formed TNEF files for the benchmarks, streaming, so that
// a 1 GiB file needs no more memory than a small one.
//
//   parvane-bench-gen big|many|props|mixed|huge|dups|names OUTPUT [COUNT]
//
// COUNT sets the number of attachments of dups (20,000 by default) and the
// size in MiB of huge's attachment (1,024 by default).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Writer {
public:
    explicit Writer(FILE *out) : out_(out) {}

    void raw(const void *data, size_t size)
    {
        if (std::fwrite(data, 1, size, out_) != size) {
            std::perror("write");
            std::exit(1);
        }
    }
    void u16(uint16_t v) { uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)}; raw(b, 2); }
    void u32(uint32_t v)
    {
        uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        raw(b, 4);
    }

    // One object whose data is given whole.
    void object(uint8_t level, uint32_t attribute, const std::string &data)
    {
        begin(level, attribute, uint32_t(data.size()));
        body(data.data(), data.size());
        end();
    }
    // One object whose data is streamed in with body() calls.
    void begin(uint8_t level, uint32_t attribute, uint32_t length)
    {
        raw(&level, 1);
        u32(attribute);
        u32(length);
        sum_ = 0;
    }
    void body(const void *data, size_t size)
    {
        const auto *bytes = static_cast<const uint8_t *>(data);
        for (size_t i = 0; i < size; ++i)
            sum_ += bytes[i];
        raw(data, size);
    }
    void end() { u16(uint16_t(sum_)); }

private:
    FILE *out_;
    uint32_t sum_ = 0;
};

std::string le16(uint16_t v) { return std::string{char(v), char(v >> 8)}; }
std::string le32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

std::string padded(std::string s)
{
    while (s.size() % 4)
        s.push_back('\0');
    return s;
}

// MAPI property helpers (type, id, value).
std::string propLong(uint16_t id, uint32_t value) { return le16(0x0003) + le16(id) + le32(value); }
std::string propString8(uint16_t id, const std::string &text)
{
    const std::string value = text + '\0';
    return le16(0x001E) + le16(id) + le32(1) + le32(uint32_t(value.size())) + padded(value);
}
std::string propUnicode(uint16_t id, const std::string &ascii)
{
    std::string value;
    for (char c : ascii) {
        value.push_back(c);
        value.push_back('\0');
    }
    value.append(2, '\0');
    return le16(0x001F) + le16(id) + le32(1) + le32(uint32_t(value.size())) + padded(value);
}
std::string propNamedLong(uint16_t id, uint32_t name, uint32_t value)
{
    static const char guid[16] = {0x08, 0x20, 0x06, 0, 0, 0, 0, 0, char(0xC0), 0, 0, 0, 0, 0, 0, 0x46};
    return le16(0x0003) + le16(id) + std::string(guid, 16) + le32(0) + le32(name) + le32(value);
}

void header(Writer &w)
{
    w.u32(0x223E9F78);
    w.u16(0x0001);
    w.object(1, 0x00089006, le32(0x00010000));                 // TNEF version
    w.object(1, 0x00069007, le32(1252) + le32(0));             // code page
    w.object(1, 0x00078008, std::string("IPM.Microsoft Mail.Note") + '\0');
}

// Deterministic contents that differ between attachments.
void contents(Writer &w, uint64_t seed, uint32_t size)
{
    static std::vector<uint8_t> buffer(1 << 20);
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    uint32_t left = size;
    while (left > 0) {
        const uint32_t n = left < buffer.size() ? left : uint32_t(buffer.size());
        for (uint32_t i = 0; i < n; i += 8) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            std::memcpy(buffer.data() + i, &x, n - i < 8 ? n - i : 8);
        }
        w.body(buffer.data(), n);
        left -= n;
    }
}

void attachment(Writer &w, const std::string &title, const std::string &longName, uint64_t seed,
                uint32_t size, const std::string &extraProps = {}, uint32_t extraCount = 0)
{
    std::string rend = le16(1) + le32(0xFFFFFFFF) + le16(0) + le16(0) + le32(0);
    w.object(2, 0x00069002, rend);
    w.object(2, 0x00018010, title + '\0');
    w.begin(2, 0x0006800F, size);
    contents(w, seed, size);
    w.end();
    std::string props = propLong(0x3705, 1) + propString8(0x3704, title) + extraProps;
    uint32_t count = 2 + extraCount;
    if (!longName.empty()) {
        props += propUnicode(0x3707, longName);
        ++count;
    }
    w.object(2, 0x00069005, le32(count) + props);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s big|many|props|mixed|huge|dups|names OUTPUT [COUNT]\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    FILE *out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    static char buffer[1 << 20];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
    Writer w(out);
    header(w);
    if (kind == "big") {
        for (int i = 0; i < 64; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "part-%02d.bin", i);
            attachment(w, name, "", uint64_t(i) + 1, 16u << 20);
        }
    } else if (kind == "huge") {
        // One attachment of 1 GiB: extraction must not hold it in memory.
        const unsigned long mib = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 1024;
        if (mib == 0 || mib > 4095) {
            std::fprintf(stderr, "huge: COUNT is 1 to 4095 MiB\n");
            return 2;
        }
        attachment(w, "huge.bin", "", 99, uint32_t(mib << 20));
    } else if (kind == "many") {
        for (int i = 0; i < 200000; ++i) {
            char text[48];
            std::snprintf(text, sizeof text, "message attribute number %06d", i);
            w.object(1, i % 2 ? 0x00018004 : 0x00018009, std::string(text) + '\0');
        }
        attachment(w, "many.txt", "", 7, 4096);
    } else if (kind == "props") {
        std::string extra;
        const uint32_t count = 100000;
        for (uint32_t i = 0; i < count; ++i) {
            const uint16_t id = uint16_t(0x6000 + i % 0x1000);
            if (i % 10 == 9)
                extra += propNamedLong(uint16_t(0x8000 + i % 0x7000), i, i);
            else if (i % 3 == 0)
                extra += propString8(id, "value " + std::to_string(i));
            else
                extra += propLong(id, i);
        }
        attachment(w, "props.bin", "", 11, 65536, extra, count);
    } else if (kind == "mixed") {
        for (int i = 0; i < 20; ++i) {
            char title[16];
            std::snprintf(title, sizeof title, "MIXED~%02d.PDF", i);
            char longName[160];
            std::snprintf(longName, sizeof longName,
                          "Quarterly results and projections for the northern region, revision %02d "
                          "(final draft approved by the board).pdf", i);
            attachment(w, title, longName, uint64_t(i) + 100, 1u << 20);
        }
    } else if (kind == "dups") {
        // Attachments that all want the same name.
        const long count = argc == 4 ? std::atol(argv[3]) : 20000;
        for (long i = 0; i < count; ++i)
            attachment(w, "report.pdf", "", uint64_t(i) + 1000, 256);
    } else if (kind == "names") {
        // One attachment whose long file name has a million empty values and
        // then a real one.
        const uint32_t count = 1000000;
        std::string values = le16(0x001E) + le16(0x3707) + le32(count + 1);
        for (uint32_t i = 0; i < count; ++i)
            values += le32(0);
        values += le32(10) + padded(std::string("names.txt") + '\0');
        attachment(w, "NAMES~1.TXT", "", 5, 4096, values, 1);
    } else {
        std::fprintf(stderr, "unknown kind '%s'\n", kind.c_str());
        return 2;
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
