// The library's own way into a Stream: samples from any source (a recording file, the
// console's conversion) through the stream's one loop.
#ifndef KINREC_STREAM_ACCESS_H
#define KINREC_STREAM_ACCESS_H

#include "input/SampleSource.h"
#include "kinrec.h"

namespace kinrec::detail {

struct DsvConverter;

struct StreamAccess {
    // Every sample of src, in order, through the stream into sink. A sink that fails
    // does not stop the reading: the samples still advance the stream (and its Run).
    static void Feed(Stream& stream, SampleSource& src, RowSink& sink);
    // The same, with src read on a thread of its own one batch ahead of the conversion
    // (a source that is not shared: a file's), so that reading and converting overlap.
    // Without a thread to spare it is Feed.
    static void FeedAhead(Stream& stream, SampleSource& src, RowSink& sink);

    // The stream's state; kinrec::Error for a stream that was moved from.
    static Stream::Impl& Live(Stream& stream);
    static const Stream::Impl& Live(const Stream& stream);
    // The n samples of a checked chunk through the stream, read by a Source of its kind.
    template <class Source, class T, class... Options>
    static void PushChunk(Stream& stream, const Recording<T>& chunk, std::size_t n, RowSink& sink,
                          Options... options);
    template <class T>
    static void PushToTable(Stream& stream, const Recording<T>& chunk, Table& table);

  private:
    // The stream's converter; kinrec::Error when the stream was finished.
    static DsvConverter* Open(Stream& stream);
    static void NoteWraps(Stream& stream, const SampleSource& src, std::int64_t start);
};

// Throws kinrec::Error for a Run whose bias count is out of range (none is fine).
void CheckRun(const Run* run);

// What a recording file's reader saw, as the library's notes: the kind of its values by
// fileType and, for a CSV recording (csv not null), its line counts and the evidence of
// its header and time column.
void NoteInput(const CsvSource* csv, int fileType, Notes* notes);

// Why a recording with values beyond the range fails under OVERFLOW raise: the first
// such sample and the largest value.
std::string BeyondRangeReason(const Notes& notes);

} // namespace kinrec::detail

#endif
