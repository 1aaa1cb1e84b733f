#pragma once

#include <cstdint>
#include <vector>

#include <QWidget>

#include "analysis/register_image.h"

class QChart;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace quillon {

// A live chart of the raw values of some registers over time: one line each, a point for every
// new value time the image holds, at most kPointsMax points a line.
class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kPointsMax = 2000;

    TrendWindow(const RegisterImage& image, std::vector<RegisterKey> keys, QWidget* parent);

    // Adds the points that came since the last call.
    void Refresh();

private:
    const RegisterImage& m_image;
    std::vector<RegisterKey> m_keys;
    std::vector<QLineSeries*> m_series;
    std::vector<std::int64_t> m_lastTimeUs;
    std::vector<std::uint64_t> m_lastCount;
    QChart* m_chart = nullptr;
    QDateTimeAxis* m_time = nullptr;
    QValueAxis* m_values = nullptr;
};

} // namespace quillon
