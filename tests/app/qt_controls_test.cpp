#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "app/qt_controls.h"

namespace quillon {
namespace {

TEST(QtListBox, ProgrammaticChangesNeverNotifyButUserClicksDo)
{
    ClippedListWidget widget;
    widget.resize(300, 200);
    widget.show();
    QtListBox list(widget);
    QSignalSpy notified(&widget, &QListWidget::itemSelectionChanged);

    EXPECT_EQ(list.Add("first"), 0);
    EXPECT_EQ(list.Add("second"), 1);
    EXPECT_EQ(list.Add("third"), 2);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Selection(), -1);

    list.SetSelection(2);
    EXPECT_EQ(list.Selection(), 2);
    list.SetSelection(-1);
    EXPECT_EQ(list.Selection(), -1);
    list.SetSelection(1);
    list.SetSelection(7); // past the end: no line stays selected
    EXPECT_EQ(list.Selection(), -1);
    list.SetSelection(0);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Selection(), -1);
    EXPECT_EQ(notified.count(), 0);

    list.Add("alpha");
    list.Add("beta");
    const QRect beta = widget.visualItemRect(widget.item(1));
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {}, beta.center());
    EXPECT_EQ(notified.count(), 1);
    EXPECT_EQ(list.Selection(), 1);
    EXPECT_EQ(list.Text(1), "beta");
    EXPECT_EQ(list.Text(2), "");
    EXPECT_EQ(list.Text(-1), "");
}

TEST(QtListBox, CutsLongLinesAtTheRightEdgeInsteadOfScrolling)
{
    ClippedListWidget widget;
    widget.resize(120, 100);
    widget.show();
    QtListBox list(widget);
    const std::string longLine(300, 'W');
    for (int i = 0; i < 40; ++i)
        list.Add(i == 20 ? longLine : "short");
    list.SetSelection(20);
    QApplication::processEvents();

    EXPECT_EQ(widget.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(widget.horizontalScrollBar()->value(), 0);
    EXPECT_FALSE(widget.horizontalScrollBar()->isVisible());
    // The selected line is brought into view vertically, as a list box does.
    EXPECT_TRUE(widget.viewport()->rect().intersects(widget.visualItemRect(widget.item(20))));
    EXPECT_EQ(list.Text(20), longLine);
    EXPECT_EQ(widget.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_FALSE(widget.isSortingEnabled());
}

// Lines kept in a vector, as the capture keeps them for the window's lists.
struct VectorLines : LineSource
{
    std::vector<std::string> lines;
    std::vector<LineMark> marks;
    int LineCount() const override { return static_cast<int>(lines.size()); }
    std::string_view LineText(int row) const override { return lines.at(row); }
    LineMark Mark(int row) const override { return marks.at(row); }
    void Add(const std::string& text, LineMark mark = LineMark::Plain)
    {
        lines.push_back(text);
        marks.push_back(mark);
    }
};

TEST(QtLineList, AppendedLinesReachTheViewTogetherWithTheirSelection)
{
    ClippedListView view;
    view.resize(300, 100);
    view.show();
    VectorLines source;
    QtLineList list(view);
    list.Show(source);
    QSignalSpy inserted(view.model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy notified(view.selectionModel(), &QItemSelectionModel::selectionChanged);

    for (int i = 0; i < 500; ++i) {
        source.Add("line " + std::to_string(i),
                   i == 7 ? LineMark::CrcError : (i == 8 ? LineMark::Exception : LineMark::Plain));
        list.LinesAppended();
        list.SetSelection(i);
    }
    EXPECT_EQ(list.Selection(), 499); // asked for, shown with the lines
    QApplication::processEvents();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(list.Count(), 500);
    EXPECT_EQ(list.Selection(), 499);
    EXPECT_EQ(list.Text(499), "line 499");
    EXPECT_EQ(list.Text(500), "");
    EXPECT_TRUE(view.viewport()->rect().intersects(view.visualRect(view.model()->index(499, 0))));
    EXPECT_EQ(notified.count(), 0);

    // Faults stand out by colour only; their text is the line's.
    const auto colour = [&view](int row) {
        return view.model()->index(row, 0).data(Qt::ForegroundRole);
    };
    EXPECT_FALSE(colour(6).isValid());
    EXPECT_TRUE(colour(7).isValid());
    EXPECT_TRUE(colour(8).isValid());
    EXPECT_NE(colour(7), colour(8));
    EXPECT_EQ(list.Text(7), "line 7");

    // Ctrl+F's search: the next line containing the text, wrapping round, ignoring case.
    EXPECT_EQ(view.FindNext("LINE 49", 490), 491);
    EXPECT_EQ(view.FindNext("line 49", 499), 49);
    EXPECT_EQ(view.FindNext("absent", 0), -1);

    source.lines.clear();
    source.marks.clear();
    list.LinesReset();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Selection(), -1);
    EXPECT_EQ(notified.count(), 0);
}

TEST(QtLineList, AFollowingListShowsItsNewestLineUntilTheUserMovesIt)
{
    ClippedListView view;
    view.resize(200, 100);
    view.show();
    VectorLines source;
    QtLineList list(view, FollowNewest::UnlessUserMovedIt);
    list.Show(source);
    QScrollBar* bar = view.verticalScrollBar();
    const auto addLines = [&](int count) {
        for (int i = 0; i < count; ++i) {
            source.Add("line " + std::to_string(source.LineCount()));
            list.LinesAppended();
        }
        QApplication::processEvents();
    };
    const auto shows = [&view](int row) {
        return view.viewport()->rect().intersects(view.visualRect(view.model()->index(row, 0)));
    };

    addLines(40);
    EXPECT_TRUE(shows(39));
    EXPECT_EQ(bar->value(), bar->maximum());

    // Scrolled away from the end: new lines come in below, the view stays.
    bar->setValue(0);
    addLines(10);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(shows(49));

    // Back at the end it follows again; a selected line holds it wherever it is.
    bar->setValue(bar->maximum());
    addLines(1);
    EXPECT_TRUE(shows(50));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      view.visualRect(view.model()->index(50, 0)).center());
    ASSERT_EQ(list.Selection(), 50);
    addLines(10);
    EXPECT_TRUE(shows(50));
    EXPECT_FALSE(shows(60));

    // A list without following stays at its top.
    ClippedListView still;
    still.resize(200, 100);
    still.show();
    QtLineList plain(still);
    plain.Show(source);
    source.Add("one more");
    plain.LinesAppended();
    QApplication::processEvents();
    EXPECT_EQ(plain.Count(), source.LineCount());
    EXPECT_EQ(still.verticalScrollBar()->value(), 0);
}

TEST(QtComboBox, AddingNeverSelectsAndProgrammaticChangesNeverNotify)
{
    for (const bool editable : {false, true}) {
        SCOPED_TRACE(editable ? "drop-down with edit field" : "drop-down list");
        QComboBox widget;
        widget.setEditable(editable);
        QtComboBox combo(widget);
        QSignalSpy changed(&widget, &QComboBox::currentIndexChanged);

        EXPECT_EQ(combo.Add("Select Filter"), 0);
        EXPECT_EQ(combo.Selection(), -1);
        combo.SetSelection(0);
        EXPECT_EQ(combo.Add("Code 3 (0x3h) Read Holding Registers"), 1);
        EXPECT_EQ(combo.Selection(), 0);
        combo.SetSelection(1);
        EXPECT_EQ(combo.Selection(), 1);
        combo.SetSelection(5);
        EXPECT_EQ(combo.Selection(), -1);
        EXPECT_EQ(combo.Text(1), "Code 3 (0x3h) Read Holding Registers");
        EXPECT_EQ(combo.Text(2), "");
        combo.Clear();
        EXPECT_EQ(combo.Count(), 0);
        EXPECT_EQ(changed.count(), 0);
    }
}

TEST(QtComboBox, FindExactMatchesWholeTextsIgnoringCase)
{
    QComboBox widget;
    QtComboBox combo(widget);
    for (const char* entry :
         {"Float = Big Endian (Motorola)", "Float = Little Endian (Intel)", "Node", "17", "1"})
        combo.Add(entry);

    const struct
    {
        const char* text;
        int index;
    } cases[] = {
        {"Float = Little Endian (Intel)", 1},
        {"FLOAT = little endian (intel)", 1},
        {"node", 2},
        {"1", 4},      // not "17": only whole texts match
        {"Float", -1}, // a beginning is not enough
        {"", -1},
        {"18", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(combo.FindExact(c.text), c.index);
    }
}

TEST(CloseUpComboBox, ReportsEachClosingOfItsOpenList)
{
    CloseUpComboBox widget;
    widget.addItems({"a", "b"});
    widget.show();
    QSignalSpy closed(&widget, &CloseUpComboBox::closedUp);

    widget.hidePopup(); // nothing was open
    EXPECT_EQ(closed.count(), 0);
    widget.showPopup();
    widget.hidePopup();
    EXPECT_EQ(closed.count(), 1);
    widget.showPopup();
    QTest::keyClick(widget.view(), Qt::Key_Escape); // closed without a choice
    EXPECT_EQ(closed.count(), 2);
    EXPECT_EQ(widget.currentIndex(), 0);
}

TEST(ComboEditField, ShowsTheEntryFromItsStartAndNeverAddsTypedText)
{
    QWidget host;
    auto* before = new QPushButton(QStringLiteral("Go"), &host);
    auto* widget = new QComboBox(&host);
    MakeEditable(*widget);
    widget->setGeometry(0, 30, 60, widget->sizeHint().height());
    QtComboBox combo(*widget);
    combo.Add("Float = Big Endian (Motorola)");
    combo.Add("Float = Little Endian (Word Swap)");
    host.show();
    QApplication::setActiveWindow(&host);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));

    combo.SetSelection(1);
    EXPECT_EQ(widget->lineEdit()->cursorPosition(), 0);
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_TRUE(widget->lineEdit()->hasFocus());
    EXPECT_EQ(widget->lineEdit()->selectedText(), "Float = Little Endian (Word Swap)");
    EXPECT_EQ(widget->lineEdit()->cursorPosition(), 0);

    QTest::keyClicks(widget->lineEdit(), QStringLiteral("17"));
    QTest::keyClick(widget->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo.Count(), 2);
    EXPECT_EQ(combo.Selection(), 1);
}

// A count grown past what its label was drawn for shows whole in a smaller font; a count that
// fits keeps the window's font.
TEST(QtStaticText, AShrinkingLabelShowsALongCountWhole)
{
    QWidget window;
    QLabel label(&window);
    label.setFixedWidth(QFontMetrics(window.font()).horizontalAdvance("Samples = 2000") + 4);
    QtStaticText samples(label, TextFit::ShrinkFont);
    samples.SetText("Samples = 1000000");
    EXPECT_EQ(label.text(), "Samples = 1000000");
    EXPECT_LE(QFontMetrics(label.font()).horizontalAdvance(label.text()),
              label.contentsRect().width());
    samples.SetText("Samples = 2000");
    EXPECT_EQ(label.font(), window.font());
}

} // namespace
} // namespace quillon
