#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quillon {

// Response times in bounded memory: count, exact minimum and maximum, and a log-scale histogram
// for the percentiles. Times below 128 us have a bucket each; above, every power of two is split
// into 128 equal buckets, so a percentile read at its bucket's middle is within 1/256 (0.4 %)
// of the true sample at that rank. Times from about 71 minutes on share the top bucket. The
// histogram (13.5 KiB) is allocated with the first sample that may keep one.
class ResponseTimes
{
public:
    static constexpr int kSubBits = 7;
    static constexpr std::uint64_t kLinearLimit = 1U << kSubBits; // 128 us
    static constexpr int kTopExponent = 31;                       // 2^32 us is about 71 minutes
    static constexpr std::size_t kBuckets =
        kLinearLimit + (kTopExponent - kSubBits + 1) * kLinearLimit;

    ResponseTimes() = default;
    ResponseTimes(const ResponseTimes& other);
    ResponseTimes& operator=(const ResponseTimes& other);
    ResponseTimes(ResponseTimes&&) noexcept = default;
    ResponseTimes& operator=(ResponseTimes&&) noexcept = default;
    ~ResponseTimes() = default;

    // A time in microseconds; negative ones are not taken. Without `histogram`, a first sample
    // allocates none: count, minimum and maximum are kept, percentiles stay unknown.
    void Add(std::int64_t us, bool histogram = true);
    [[nodiscard]] bool HasHistogram() const { return m_histogram != nullptr; }
    void Merge(const ResponseTimes& other);

    [[nodiscard]] std::uint64_t Count() const { return m_count; }
    [[nodiscard]] std::int64_t Min() const { return m_min; } // -1 without samples
    [[nodiscard]] std::int64_t Max() const { return m_max; } // -1 without samples
    // The nearest-rank percentile (q from 0 to 1) in microseconds; -1 without samples or
    // without a histogram.
    [[nodiscard]] std::int64_t Percentile(double q) const;

private:
    using Histogram = std::array<std::uint32_t, kBuckets>;
    [[nodiscard]] static std::size_t BucketOf(std::uint64_t us);
    // The middle of a bucket, microseconds.
    [[nodiscard]] static std::int64_t MiddleOf(std::size_t bucket);

    std::unique_ptr<Histogram> m_histogram;
    std::uint64_t m_count = 0;
    std::int64_t m_min = -1;
    std::int64_t m_max = -1;
};

} // namespace quillon
