#include "app/trend_window.h"

#include <algorithm>

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>

namespace quillon {

TrendWindow::TrendWindow(const RegisterImage& image, std::vector<RegisterKey> keys, QWidget* parent)
    : QWidget(parent, Qt::Window), m_image(image), m_keys(std::move(keys))
{
    setObjectName(QStringLiteral("trendWindow"));
    setWindowTitle(QStringLiteral("Trend"));
    m_chart = new QChart;
    m_time = new QDateTimeAxis;
    m_time->setFormat(QStringLiteral("HH:mm:ss"));
    m_time->setTitleText(QStringLiteral("Time"));
    m_values = new QValueAxis;
    m_values->setTitleText(QStringLiteral("Raw value"));
    m_chart->addAxis(m_time, Qt::AlignBottom);
    m_chart->addAxis(m_values, Qt::AlignLeft);
    for (const RegisterKey& key : m_keys) {
        auto* series = new QLineSeries;
        series->setName(QStringLiteral("%1 %2 %3")
                            .arg(key.node)
                            .arg(QString::fromLatin1(RegisterTableName(key.table)))
                            .arg(key.address));
        m_chart->addSeries(series);
        series->attachAxis(m_time);
        series->attachAxis(m_values);
        m_series.push_back(series);
    }
    m_lastTimeUs.assign(m_keys.size(), -1);
    m_lastCount.assign(m_keys.size(), 0);
    auto* view = new QChartView(m_chart, this);
    view->setObjectName(QStringLiteral("trendChart"));
    view->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view);
    resize(700, 400);
    Refresh();
}

void TrendWindow::Refresh()
{
    bool added = false;
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        const RegisterValue* value = m_image.Find(m_keys[i]);
        if (value == nullptr || value->timeUs < 0)
            continue;
        const std::uint64_t count = value->reads + value->writes;
        if (count == m_lastCount[i] && value->timeUs == m_lastTimeUs[i])
            continue;
        m_lastCount[i] = count;
        m_lastTimeUs[i] = value->timeUs;
        QLineSeries* series = m_series[i];
        series->append(static_cast<qreal>(value->timeUs / 1000), value->raw);
        if (series->count() > kPointsMax)
            series->removePoints(0, series->count() - kPointsMax);
        added = true;
    }
    if (!added)
        return;
    qreal first = 0;
    qreal last = 0;
    qreal low = 0;
    qreal high = 1;
    bool any = false;
    for (const QLineSeries* series : m_series) {
        for (const QPointF& point : series->points()) {
            if (!any) {
                first = last = point.x();
                low = high = point.y();
                any = true;
            }
            first = std::min(first, point.x());
            last = std::max(last, point.x());
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
    }
    m_time->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first)),
                     QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last + 1000)));
    m_values->setRange(low, high > low ? high : low + 1);
}

} // namespace quillon
