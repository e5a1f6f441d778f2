#pragma once

// The records of the extension block as the entries hold them: which kinds
// exist, how the entries of a library turn into records when it is written
// and how records find their entries again when it is read.
//
// Adding a kind takes a number below, a row in one of the tables of kinds in
// ExtensionRecords.cpp (categories, data items) with the functions that
// encode an entry's record and attach a decoded one, and the field on the
// entry that holds it.

#include "ExtensionBlock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessary {

class CCategory;
class CDatum;
class CItem;
struct LibraryWarning;

// Kinds of records. A reader skips the kinds it does not know; numbers are
// never reused.
enum class RecordKind : std::uint16_t {
    Volume = 1, // the volume an imported category was scanned from (Volume.h)
    DocumentText = 2, // the words of a data item's document (CDatum::m_strText)
};

// The records of the entries of `roots` and their subtrees, in entry order,
// numbered as the library file written from `roots` numbers its entries.
// Empty when no entry holds anything to record.
std::vector<ExtensionRecord> CollectRecords(std::span<const CCategory* const> roots);

// Appends the records of `category` alone, numbered `number`, to `records`
// (for a writer that walks the entries itself, see CSlicedLibraryWriter).
void AppendRecordsOf(const CCategory& category, std::uint32_t number, std::vector<ExtensionRecord>& records);
// The same for the data item `datum`.
void AppendRecordsOf(const CDatum& datum, std::uint32_t number, std::vector<ExtensionRecord>& records);

// The entry numbers that `records` of the kinds this program knows name,
// ascending and each once: what the reader is to hand out while it reads
// the roots (see ReadLibraryRoots).
std::vector<std::uint32_t> WantedEntries(const std::vector<ExtensionRecord>& records);

// What ApplyRecords did.
struct RecordsApplied {
    std::size_t applied = 0;
    std::size_t unknownKind = 0; // skipped, by design: a later program's kinds
    std::size_t dropped = 0; // records that fit no entry or could not be decoded
    std::string firstProblem; // why the first dropped record was dropped
};

// Attaches `records` to the entries they name, where `entries[i]` is the
// entry numbered `numbers[i]` (null when the library has none). A record
// naming no entry, an entry of a kind its record kind does not describe, or
// holding a payload that does not decode is dropped and counted; the rest
// are applied. Never throws but for want of memory.
RecordsApplied ApplyRecords(std::span<const std::uint32_t> numbers, std::span<CItem* const> entries,
    std::vector<ExtensionRecord> records);

// Reading a block alongside the roots. A block announces itself at the end
// of the file, so its records are read first (Announce) and the reader
// hands out the entries they name while it reads the roots (`wanted`, see
// ReadLibraryRoots), with no walk of the tree afterwards; once the roots are
// read, Settle checks that the block was made for them and attaches the
// records, or says why it is ignored.
class CBlockReading {
public:
    // The block that the file's last bytes announce (`trailer`, and the
    // block's bytes from the archive's end on), or none.
    void Announce(const std::optional<ExtensionTrailer>& trailer, std::string_view block);

    // The entries to hand out while reading the roots, and where they go.
    std::span<const std::uint32_t> Wanted() const noexcept { return m_wanted; }
    std::vector<CItem*>& Found() noexcept { return m_found; }
    // The length of archive whose checksum Settle will ask for (0: none),
    // so that a reader may compute it as the bytes go by.
    std::uint64_t ChecksumLength() const noexcept;

    // After the roots, which ended at `rootsEnd`: `tail` gives the bytes
    // after them (asked only when they are not the announced block),
    // `checksum` the Checksum64 of the ChecksumLength() bytes before them.
    // Attaches the records, or adds to `warnings` (when given) why the block
    // or some records are ignored. Bytes after the roots that are no block
    // of ours are ignored silently.
    void Settle(std::uint64_t rootsEnd, const std::function<std::string()>& tail,
        const std::function<std::uint64_t()>& checksum, std::vector<LibraryWarning>* warnings);

private:
    std::optional<ExtensionTrailer> m_trailer;
    ExtensionParse m_block;
    std::vector<std::uint32_t> m_wanted;
    std::vector<CItem*> m_found;
};

} // namespace tessary
