#include "analysis/response_times.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace quillon {

ResponseTimes::ResponseTimes(const ResponseTimes& other)
    : m_histogram(other.m_histogram ? std::make_unique<Histogram>(*other.m_histogram) : nullptr),
      m_count(other.m_count), m_min(other.m_min), m_max(other.m_max)
{
}

ResponseTimes& ResponseTimes::operator=(const ResponseTimes& other)
{
    if (this != &other)
        *this = ResponseTimes(other);
    return *this;
}

std::size_t ResponseTimes::BucketOf(std::uint64_t us)
{
    if (us < kLinearLimit)
        return static_cast<std::size_t>(us);
    constexpr std::uint64_t kTop = (std::uint64_t{1} << (kTopExponent + 1)) - 1;
    us = std::min(us, kTop);
    const int exponent = std::bit_width(us) - 1; // kSubBits or more
    const int shift = exponent - kSubBits;
    const std::uint64_t sub = (us >> shift) - kLinearLimit;
    return static_cast<std::size_t>(kLinearLimit +
                                    static_cast<std::uint64_t>(shift) * kLinearLimit + sub);
}

std::int64_t ResponseTimes::MiddleOf(std::size_t bucket)
{
    if (bucket < kLinearLimit)
        return static_cast<std::int64_t>(bucket);
    const std::size_t shift = (bucket - kLinearLimit) / kLinearLimit;
    const std::uint64_t sub = (bucket - kLinearLimit) % kLinearLimit;
    const std::uint64_t lower = (kLinearLimit + sub) << shift;
    return static_cast<std::int64_t>(lower + ((std::uint64_t{1} << shift) >> 1));
}

void ResponseTimes::Add(std::int64_t us, bool histogram)
{
    if (us < 0)
        return;
    if (!m_histogram && histogram && m_count == 0)
        m_histogram = std::make_unique<Histogram>();
    if (m_histogram) {
        std::uint32_t& bucket = (*m_histogram)[BucketOf(static_cast<std::uint64_t>(us))];
        if (bucket < UINT32_MAX)
            ++bucket;
    }
    m_min = m_count == 0 ? us : std::min(m_min, us);
    m_max = m_count == 0 ? us : std::max(m_max, us);
    ++m_count;
}

void ResponseTimes::Merge(const ResponseTimes& other)
{
    if (other.m_count == 0)
        return;
    // Percentiles of a merge need every part's histogram.
    if (!other.m_histogram || (m_count > 0 && !m_histogram))
        m_histogram.reset();
    else if (!m_histogram)
        m_histogram = std::make_unique<Histogram>();
    for (std::size_t i = 0; m_histogram && i < kBuckets; ++i) {
        const std::uint64_t sum = std::uint64_t{(*m_histogram)[i]} + (*other.m_histogram)[i];
        (*m_histogram)[i] = static_cast<std::uint32_t>(std::min<std::uint64_t>(sum, UINT32_MAX));
    }
    m_min = m_count == 0 ? other.m_min : std::min(m_min, other.m_min);
    m_max = m_count == 0 ? other.m_max : std::max(m_max, other.m_max);
    m_count += other.m_count;
}

std::int64_t ResponseTimes::Percentile(double q) const
{
    if (m_count == 0 || !m_histogram)
        return -1;
    q = std::clamp(q, 0.0, 1.0);
    const auto rank = std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(std::ceil(q * static_cast<double>(m_count))));
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < kBuckets; ++i) {
        seen += (*m_histogram)[i];
        if (seen >= rank)
            return std::clamp(MiddleOf(i), m_min, m_max);
    }
    return m_max;
}

} // namespace quillon
