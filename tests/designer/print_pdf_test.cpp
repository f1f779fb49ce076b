// The printed documents written to PDF and read back with poppler's pdftotext and pdfimages:
// what an installer gets on paper, with real fonts and the real graph painter.
#include <gtest/gtest.h>

#include <QPdfWriter>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "designer/nodelisting.h"
#include "designer/paint/printpages.h"
#include "netbuilder.h"
#include "platform/programdir.h"

namespace kelmor::designer {
namespace {

using testing::TestNetwork;

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

std::string Folder() { return platform::ProgramDir(); }

// A small modem type with a choice, a check box and a text.
void WriteDefinition() {
    std::ofstream(Folder() + "/TINY.smf", std::ios::binary)
        << "[Version]\r\nName=TINY\r\nVersion number=1\r\nKelmor ini=x\r\n"
           "[Properties]\r\nB01=Radio channel\r\nB01_v=3\r\nR01=Air rate\r\nR01_v=3\r\n"
           "R01_1=1200 bit/s\r\nR01_2=9600 bit/s\r\nM01=Local echo\r\nM01_v=3\r\n"
           "S01=Station name\r\nS01_v=3\r\n";
}

void Fill(TKuvio& node, int channel, const std::string& station) {
    node.typeName = "TINY";
    node.ClearParameters();
    node.PutParameter('B', '0', true, true, std::to_string(channel));
    node.PutParameter('R', '0', true, true, "1");
    node.PutParameter('M', '0', true, true, "1");
    node.PutParameter('S', '0', true, true, station);
}

int PageCount(const std::string& pdf) {
    const QRegularExpressionMatch m =
        QRegularExpression(R"(Pages:\s+(\d+))")
            .match(QString::fromStdString(Shell("pdfinfo '" + pdf + "'")));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

struct Word {
    int page;
    double x;
    double y;
    double right;
    std::string text;
};
std::vector<Word> Words(const std::string& pdf) {
    std::vector<Word> words;
    std::string html = Shell("pdftotext -bbox '" + pdf + "' -");
    const QString number = R"x("([\d.]+)")x";
    const QRegularExpression word("<page |<word xMin=" + number + " yMin=" + number +
                                  " xMax=" + number + "[^>]*>([^<]*)</word>");
    int page = 0;
    for (const QRegularExpressionMatch& m : word.globalMatch(QString::fromStdString(html))) {
        if (m.captured(0) == "<page ") {
            ++page;
            continue;
        }
        words.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(),
                         m.captured(3).toDouble(), m.captured(4).toStdString()});
    }
    return words;
}

class PrintPdf : public ::testing::Test {
  protected:
    void SetUp() override { WriteDefinition(); }
    std::string Path(const std::string& name) { return Folder() + "/" + name; }
};

TEST_F(PrintPdf, AllModemsListsEveryLineInTwoColumnsOverThePages) {
    TestNetwork t;
    t.net.properties.accepted.name = "Sixty";
    for (int i = 0; i < 60; ++i) {
        Fill(t.Add("Node" + std::to_string(i), "A" + std::to_string(i), uint16_t(i + 1)), i % 7,
             "Site" + std::to_string(i));
    }
    NodeListingSource listings(Folder(), '0');
    const std::string pdf = Path("all.pdf");
    ASSERT_TRUE(paint::WritePdf(pdf, AllPropertiesJob(), [&](QPagedPaintDevice& device) {
        return paint::PrintAllPropertiesOn(device, t.net, listings.Lister());
    }));

    const std::string text = Shell("pdftotext -layout '" + pdf + "' -");
    EXPECT_NE(text.find("Project Sixty"), std::string::npos);
    for (int i = 0; i < 60; ++i) {
        const std::string n = std::to_string(i);
        SCOPED_TRACE(i);
        for (const std::string& line :
             {"Modem name: Node" + n, "Terminal address: A" + n, "Station name: Site" + n}) {
            EXPECT_NE(text.find(line), std::string::npos) << line;
        }
    }
    EXPECT_NE(text.find("Air rate: 9600 bit/s"), std::string::npos);
    EXPECT_NE(text.find("Local echo <ON>"), std::string::npos);
    EXPECT_NE(text.find("Modem address: 003C"), std::string::npos);

    // 60 nodes of 7 lines and a blank: 480 lines of 10-12 points, two columns a page.
    const int pages = PageCount(pdf);
    EXPECT_GE(pages, 3);
    EXPECT_LE(pages, 6);

    // Reading order: page by page, the left column top down, then the right one.
    const double middle = 595.0 / 2;
    std::vector<Word> names;
    for (const Word& w : Words(pdf)) {
        if (w.text.rfind("Node", 0) == 0) names.push_back(w);
    }
    ASSERT_EQ(names.size(), 60u);
    std::vector<Word> sorted = names;
    std::stable_sort(sorted.begin(), sorted.end(), [&](const Word& a, const Word& b) {
        auto key = [&](const Word& w) { return std::make_tuple(w.page, w.x > middle, w.y); };
        return key(a) < key(b);
    });
    std::vector<std::string> order;
    for (const Word& w : sorted) order.push_back(w.text);
    std::vector<std::string> expected;
    for (int i = 0; i < 60; ++i) expected.push_back("Node" + std::to_string(i));
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(
        std::any_of(names.begin(), names.end(), [&](const Word& w) { return w.x > middle; }));
    EXPECT_EQ(sorted.back().page, pages);
}

TEST_F(PrintPdf, LongNamesAndValuesAreClippedToTheirColumn) {
    TestNetwork t;
    t.net.properties.accepted.name = "Clip";
    const std::string longName(200, 'W');
    Fill(t.Add(longName, "1", 1), 1, std::string(20, 'S'));
    NodeListingSource listings(Folder(), '0');
    const std::string pdf = Path("clip.pdf");
    ASSERT_TRUE(paint::WritePdf(pdf, AllPropertiesJob(), [&](QPagedPaintDevice& device) {
        return paint::PrintAllPropertiesOn(device, t.net, listings.Lister());
    }));
    // The column boundary in points: half the page plus a quarter of (half an inch - 55 px).
    const double boundary = (4960 / 2 + (300 - 55) / 2) * 72.0 / 600;
    bool sawName = false;
    for (const Word& w : Words(pdf)) {
        if (w.text.rfind("WWW", 0) != 0) continue;
        sawName = true;
        EXPECT_LT(w.text.size(), longName.size());
        EXPECT_LT(w.right, boundary);  // ends inside the left column
    }
    EXPECT_TRUE(sawName);
}

TEST_F(PrintPdf, EmptyNetworkPrintsNoDocument) {
    TestNetwork t;
    NodeListingSource listings(Folder(), '0');
    const std::string pdf = Path("empty.pdf");
    std::string error;
    EXPECT_FALSE(paint::WritePdf(
        pdf, AllPropertiesJob(),
        [&](QPagedPaintDevice& device) {
            return paint::PrintAllPropertiesOn(device, t.net, listings.Lister());
        },
        &error));
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST_F(PrintPdf, OneModemAndAMissingDefinition) {
    TestNetwork t;
    TKuvio& lost = t.Add("Lost", "C3", 4);
    lost.typeName = "GONE";
    lost.PutParameter('B', '0', true, true, "42");
    NodeListingSource listings(Folder(), '0');
    const std::string pdf = Path("one.pdf");
    const NodeListing listing = listings(lost);
    ASSERT_TRUE(paint::WritePdf(pdf, NodePropertiesJob(), [&](QPagedPaintDevice& device) {
        return paint::PrintNodePropertiesOn(device, listing);
    }));
    const std::string text = Shell("pdftotext -layout '" + pdf + "' -");
    EXPECT_NE(text.find("Modem name: Lost"), std::string::npos);
    EXPECT_NE(text.find("NO DEFINITION FILE GONE.smf"), std::string::npos);
    EXPECT_NE(text.find("42"), std::string::npos);
    EXPECT_NE(Shell("pdfinfo '" + pdf + "'").find("Properties of modem"), std::string::npos);
    EXPECT_EQ(PageCount(pdf), 1);
}

// The graph's scale on an A4 landscape page at 600 per inch: room 6906 x 4705 pixels. One
// nameless node at label height y gives H = y + 99, so the scale is 4705 / H.
TEST_F(PrintPdf, GraphPicturesFollowTheScale) {
    struct Case {
        double scale;
        int width;
        int height;
    };
    for (const Case& c : {Case{0.8, 30, 50}, Case{1.7, 45, 75}, Case{2.3, 60, 100},
                          Case{2.8, 75, 125}, Case{3.2, 90, 150}}) {
        SCOPED_TRACE(c.scale);
        TestNetwork t;
        t.net.properties.accepted.name = "Scale";
        TKuvio& node = t.Add("", "1", 1);
        node.MoveTo(0, int(4705 / c.scale) - 99);
        const std::string pdf = Path("graph.pdf");
        ASSERT_TRUE(paint::WritePdf(pdf, GraphJob(t.net), [&](QPagedPaintDevice& device) {
            return paint::PrintGraphOn(device, t.net);
        }));
        EXPECT_EQ(PageCount(pdf), 1);
        EXPECT_NE(Shell("pdftotext -layout '" + pdf + "' -").find("Project Scale"),
                  std::string::npos);
        // pdfimages: "page num type width height ..."; the node's picture is the first image.
        std::string list = Shell("pdfimages -list '" + pdf + "'");
        const QRegularExpressionMatch m =
            QRegularExpression(R"(\n\s*1\s+0\s+image\s+(\d+)\s+(\d+))")
                .match(QString::fromStdString(list));
        ASSERT_TRUE(m.hasMatch()) << list;
        EXPECT_EQ(m.captured(1).toInt(), c.width);
        EXPECT_EQ(m.captured(2).toInt(), c.height);
    }
}

TEST_F(PrintPdf, GraphLayoutOnTheRealPageALongNameLowersTheScale) {
    TestNetwork t;
    t.net.properties.accepted.name = "Harbour";
    t.Add("Master", "F0", 1).MoveTo(100, 60);
    TKuvio& far = t.Add("Pier", "A1", 2);
    far.MoveTo(300, 200);
    QPdfWriter writer(QString::fromStdString(Path("layout.pdf")));
    writer.setResolution(paint::kPdfResolution);
    writer.setPageOrientation(QPageLayout::Landscape);
    QPainter painter(&writer);
    paint::PainterCanvas canvas(painter, writer, paint::DesignerWindowFont());
    GraphLayout layout = LayoutGraph(canvas, t.net);
    EXPECT_EQ(layout.printTop, 200);
    far.name = std::string(40, 'P');
    GraphLayout longer = LayoutGraph(canvas, t.net);
    EXPECT_LT(longer.scale, layout.scale);
    EXPECT_LE(longer.scale, 3.0);
    EXPECT_GE(longer.labelFontSize, 8);
    painter.end();
}

}  // namespace
}  // namespace kelmor::designer
