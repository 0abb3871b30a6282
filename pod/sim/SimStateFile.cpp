#include "SimStateFile.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "ReplacingFile.h"
#include "ResolvedPath.h"
#include "SimEeprom.h"
#include "SimTarget.h"
#include "Utf8Path.h"

namespace {

constexpr char kMagic[8] = {'V', 'X', 'P', 'O', 'D', 'S', 'I', 'M'};
constexpr std::size_t kSpaceBytes = SimTarget::kSpaceWords * 2;
constexpr std::size_t kBlockHeaderBytes = 5;
constexpr std::size_t kMaxBlocks = SimEeprom::kRegionCount * SimEeprom::kMaxBlocksPerRegion;
constexpr std::size_t kFixedBytes =
    sizeof(kMagic) + 4 + 2 * kSpaceBytes + SimEeprom::kRecordBytes + 4 + 4;
constexpr std::size_t kMaxFileBytes =
    kFixedBytes + kMaxBlocks * (kBlockHeaderBytes + 2 * SimEeprom::kBlockWords);

void Fail(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}

class Writer {
public:
    explicit Writer(std::vector<std::uint8_t>& out) : out_(out) {}
    void U8(std::uint8_t v) { out_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v & 0xFF));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v & 0xFFFF));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    // A whole memory space at once: grown once, then filled in place.
    void Words(const std::vector<std::uint16_t>& words) {
        std::size_t at = out_.size();
        out_.resize(at + 2 * words.size());
        for (const std::uint16_t word : words) {
            out_[at++] = static_cast<std::uint8_t>(word & 0xFF);
            out_[at++] = static_cast<std::uint8_t>(word >> 8);
        }
    }

private:
    std::vector<std::uint8_t>& out_;
};

// Reads within [pos, end); every read past the end fails instead of reading on.
class Reader {
public:
    Reader(const std::vector<std::uint8_t>& in, std::size_t end) : in_(in), end_(end) {}
    bool U8(std::uint8_t& v) {
        if (pos_ + 1 > end_) {
            return false;
        }
        v = in_[pos_++];
        return true;
    }
    bool U16(std::uint16_t& v) {
        std::uint8_t lo = 0;
        std::uint8_t hi = 0;
        if (!U8(lo) || !U8(hi)) {
            return false;
        }
        v = static_cast<std::uint16_t>(lo | (hi << 8));
        return true;
    }
    bool U32(std::uint32_t& v) {
        std::uint16_t lo = 0;
        std::uint16_t hi = 0;
        if (!U16(lo) || !U16(hi)) {
            return false;
        }
        v = lo | (std::uint32_t{hi} << 16);
        return true;
    }
    bool Skip(std::size_t n) {
        if (end_ - pos_ < n) {
            return false;
        }
        pos_ += n;
        return true;
    }
    bool AtEnd() const { return pos_ == end_; }

private:
    const std::vector<std::uint8_t>& in_;
    std::size_t end_;
    std::size_t pos_ = 0;
};

bool ReadSpace(Reader& reader, std::vector<std::uint16_t>& space) {
    space.assign(SimTarget::kSpaceWords, 0);
    for (std::uint16_t& word : space) {
        if (!reader.U16(word)) {
            return false;
        }
    }
    return true;
}

// What makes the bytes no state file at all, or null.
const char* EnvelopeProblem(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < sizeof(kMagic) || std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) {
        return "not a simulated pod state file";
    }
    if (bytes.size() < kFixedBytes) {
        return "state file is truncated";
    }
    return nullptr;
}

// The block count and the EEPROM blocks; what is wrong with them, or null.
const char* ReadBlocks(Reader& reader, SimEeprom::Blocks& blocks) {
    std::uint32_t blockCount = 0;
    if (!reader.U32(blockCount) || blockCount > kMaxBlocks) {
        return "state file has a bad layout";
    }
    for (std::uint32_t i = 0; i < blockCount; ++i) {
        std::uint8_t region = 0;
        std::uint16_t index = 0;
        std::uint16_t count = 0;
        if (!reader.U8(region) || !reader.U16(index) || !reader.U16(count) ||
            !SimEeprom::ValidBlock(region, index, count) || blocks.count({region, index}) != 0) {
            return "state file holds a bad EEPROM block";
        }
        std::vector<std::uint16_t> words(count);
        for (std::uint16_t& word : words) {
            if (!reader.U16(word)) {
                return "state file is truncated";
            }
        }
        blocks.emplace(SimEeprom::BlockKey{region, index}, std::move(words));
    }
    return nullptr;
}

}  // namespace

std::uint32_t SimStateFile::Crc32(const std::uint8_t* data, std::size_t size) {
    // Eight bytes a step through eight tables (slicing-by-8): the state is saved after every
    // written block, a quarter of a megabyte each time.
    static const std::array<std::array<std::uint32_t, 256>, 8> kTables = [] {
        std::array<std::array<std::uint32_t, 256>, 8> tables{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t crc = n;
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
            }
            tables[0][n] = crc;
        }
        for (std::uint32_t n = 0; n < 256; ++n) {
            for (std::size_t k = 1; k < 8; ++k) {
                const std::uint32_t previous = tables[k - 1][n];
                tables[k][n] = (previous >> 8) ^ tables[0][previous & 0xFF];
            }
        }
        return tables;
    }();
    std::uint32_t crc = 0xFFFFFFFF;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint32_t low = crc ^ (std::uint32_t{data[i]} | std::uint32_t{data[i + 1]} << 8 |
                                         std::uint32_t{data[i + 2]} << 16 |
                                         std::uint32_t{data[i + 3]} << 24);
        crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
              kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^ kTables[3][data[i + 4]] ^
              kTables[2][data[i + 5]] ^ kTables[1][data[i + 6]] ^ kTables[0][data[i + 7]];
    }
    for (; i < size; ++i) {
        crc = (crc >> 8) ^ kTables[0][(crc ^ data[i]) & 0xFF];
    }
    return ~crc;
}

std::vector<std::uint8_t> SimStateFile::Encode(const SimTarget& target, const SimEeprom& eeprom) {
    std::vector<std::uint8_t> out;
    out.reserve(kFixedBytes);
    Writer writer(out);
    out.insert(out.end(), std::begin(kMagic), std::end(kMagic));
    writer.U32(kVersion);
    writer.Words(target.ProgramSpace());
    writer.Words(target.DataSpace());
    const auto record = eeprom.EncodeRecord();
    out.insert(out.end(), record.begin(), record.end());
    writer.U32(static_cast<std::uint32_t>(eeprom.StoredBlocks().size()));
    for (const auto& [key, words] : eeprom.StoredBlocks()) {
        writer.U8(static_cast<std::uint8_t>(key.first));
        writer.U16(static_cast<std::uint16_t>(key.second));
        writer.U16(static_cast<std::uint16_t>(words.size()));
        for (const std::uint16_t word : words) {
            writer.U16(word);
        }
    }
    writer.U32(Crc32(out.data(), out.size()));
    return out;
}

bool SimStateFile::Decode(const std::vector<std::uint8_t>& bytes, SimTarget& target,
                          SimEeprom& eeprom, std::string* error) {
    if (const char* problem = EnvelopeProblem(bytes)) {
        Fail(error, problem);
        return false;
    }
    const std::size_t body = bytes.size() - 4;
    Reader reader(bytes, body);
    std::uint32_t version = 0;
    reader.Skip(sizeof(kMagic));
    reader.U32(version);
    if (version != kVersion) {
        Fail(error, "unsupported state file version " + std::to_string(version));
        return false;
    }
    Reader crcReader(bytes, bytes.size());
    crcReader.Skip(body);
    std::uint32_t storedCrc = 0;
    crcReader.U32(storedCrc);
    if (storedCrc != Crc32(bytes.data(), body)) {
        Fail(error, "state file is damaged (checksum mismatch)");
        return false;
    }

    std::vector<std::uint16_t> program;
    std::vector<std::uint16_t> data;
    std::array<std::uint8_t, SimEeprom::kRecordBytes> record{};
    bool ok = ReadSpace(reader, program) && ReadSpace(reader, data);
    for (std::uint8_t& b : record) {
        ok = ok && reader.U8(b);
    }
    SimEeprom::Blocks blocks;
    if (const char* problem = ok ? ReadBlocks(reader, blocks) : "state file has a bad layout") {
        Fail(error, problem);
        return false;
    }
    if (!reader.AtEnd()) {
        Fail(error, "state file has trailing bytes");
        return false;
    }
    target.RestoreSpaces(std::move(program), std::move(data));
    eeprom.Restore(SimEeprom::DecodeRecord(record), std::move(blocks));
    return true;
}

bool SimStateFile::Save(const SimTarget& target, const SimEeprom& eeprom, const std::string& named,
                        std::string* error) {
    const std::vector<std::uint8_t> bytes = Encode(target, eeprom);
    // Write beside the file and rename, so a crash never leaves half a state behind; beside
    // the file the name finally leads to, so that a link to the state stays a link.
    std::string reason;
    if (!ReplaceWholeFile(
            ResolvedPath(named),
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), reason)) {
        Fail(error, reason);
        return false;
    }
    return true;
}

bool SimStateFile::Load(const std::string& path, SimTarget& target, SimEeprom& eeprom,
                        std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Fail(error, "cannot open " + path);
        return false;
    }
    std::vector<std::uint8_t> bytes;
    std::array<char, 65536> chunk{};
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (bytes.size() + got > kMaxFileBytes) {
            Fail(error, "state file is too large");
            return false;
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    }
    if (in.bad()) {
        Fail(error, "cannot read " + path);
        return false;
    }
    return Decode(bytes, target, eeprom, error);
}
