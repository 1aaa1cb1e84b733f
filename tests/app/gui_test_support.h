#pragma once

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QListWidget>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace quillon::test {

// The watches still waiting for their window; a test that ends leaves none behind.
inline std::vector<QPointer<QTimer>>& PendingModalWatches()
{
    static std::vector<QPointer<QTimer>> pending;
    return pending;
}

inline void DropPendingModalWatches()
{
    for (const QPointer<QTimer>& watch : PendingModalWatches())
        delete watch.data();
    PendingModalWatches().clear();
}

// Runs `act` on the next modal window that opens (a message box, a file dialog, Port Setup),
// from inside that window's own event loop. `act` must close the window. A window that does
// not open within five seconds fails the test.
inline void WhenModal(std::function<void(QWidget*)> act)
{
    constexpr qint64 kPatienceMs = 5000;
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto* poll = new QTimer;
    poll->setInterval(5);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, before, clock, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == before.data() || !modal->isVisible()) {
            if (clock->elapsed() > kPatienceMs) {
                poll->stop();
                poll->deleteLater();
                ADD_FAILURE() << "no modal window opened";
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    PendingModalWatches().emplace_back(poll);
    poll->start();
}

// The child `name` of `parent`, failing the test when there is none of that type.
template <typename Widget> Widget* Find(const QObject& parent, const char* name)
{
    auto* widget = parent.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

inline QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// The rows of a list once the lines appended so far have reached it.
inline int Rows(const QAbstractItemView* list)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    return list->model()->rowCount();
}

inline QString Text(const QAbstractItemView* list, int row)
{
    return Rows(list) > row ? list->model()->index(row, 0).data().toString() : QString();
}

inline QStringList Lines(const QAbstractItemView* list)
{
    QStringList lines;
    for (int i = 0; i < Rows(list); ++i)
        lines << list->model()->index(i, 0).data().toString();
    return lines;
}

// Clicks row `row` of a list as the user would.
inline void ClickRow(QAbstractItemView* view, int row)
{
    const QModelIndex index = view->model()->index(row, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

// Where a template in dialog units puts a control, measured independently of the window code:
// a unit is an eighth of the font's height down, and across a quarter of the font's average
// letter width or, where the dialog widened it for its texts, of the width it reports.
struct TemplateGeometry
{
    explicit TemplateGeometry(const QWidget& dialog)
    {
        const QFontMetrics metrics(dialog.font());
        fontAvgWidth = static_cast<int>(std::lround(
            metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") /
            52.0));
        xBase = fontAvgWidth * 16;
        const QVariant widened = dialog.property("dialogUnitsXBase");
        if (widened.isValid())
            xBase = widened.toInt();
        charHeight = metrics.height();
    }
    [[nodiscard]] int X(int x) const { return x * xBase / 64; }
    [[nodiscard]] int Y(int y) const { return y * charHeight / 8; }
    [[nodiscard]] QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }
    [[nodiscard]] QRect Rect(int x, int y, int w, int h) const
    {
        return QRect(QPoint(X(x), Y(y)), QPoint(X(x + w) - 1, Y(y + h) - 1));
    }
    int fontAvgWidth = 1;
    int xBase = 16; // four units across, in sixteenths of a pixel
    int charHeight = 1;
};

// Makes a temporary folder the working directory for the life of the object: the monitor keeps
// its backup file there.
class InTemporaryFolder
{
public:
    InTemporaryFolder() : m_previous(QDir::currentPath())
    {
        EXPECT_TRUE(m_folder.isValid());
        QDir::setCurrent(m_folder.path());
    }
    ~InTemporaryFolder() { QDir::setCurrent(m_previous); }
    [[nodiscard]] QString FilePath(const char* name) const
    {
        return m_folder.filePath(QString::fromLatin1(name));
    }

private:
    QString m_previous;
    QTemporaryDir m_folder;
};

} // namespace quillon::test
