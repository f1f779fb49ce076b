#pragma once
// The designer's printed documents on any paged device: a printer chosen in the print dialog,
// or a PDF file written without a dialog (the command-line tool, tests, and users without a
// printer). The page rules are designer/printlayout; this puts a QPainter under them and draws
// the graph with the graph painter. QtGui only.
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "designer/printlayout.h"

class QPagedPaintDevice;

namespace kelmor::designer::paint {

// The fonts of the windows that print: the designer's (Courier New bold, 13 pixels) and the
// property table's (Courier New, 13 pixels).
QFont DesignerWindowFont();
QFont PropertyTableFont();

// A printer page behind the page rules. A window font given in pixels is taken over in points
// as the screen shows it (13 pixels at 96 per inch: 10 points).
class PainterCanvas : public PrintCanvas {
  public:
    PainterCanvas(QPainter& painter, QPagedPaintDevice& device, const QFont& windowFont);

    int PageWidth() const override;
    int PageHeight() const override;
    int PixelsPerInch() const override;
    void UseWindowFont() override;
    void SetFontSize(int points) override;
    void SetBold(bool bold) override;
    int TextWidth(const std::string& text) override;
    int TextHeight(const std::string& text) override;
    void DrawText(int x, int y, const std::string& text) override;
    void DrawTextClipped(const PrintRect& clip, int x, int y, const std::string& text) override;
    void DrawRectangle(const PrintRect& rect, int penWidth) override;
    void NewPage() override;

    QPainter& Painter() { return painter_; }
    // The current font with its size in device pixels, for drawing that measures with a
    // device-independent QFontMetrics (the graph painter's labels).
    QFont DeviceFont() const;
    int NewPageCount() const { return newPages_; }

  private:
    void Apply();
    const QFontMetrics& Metrics();

    QPainter& painter_;
    QPagedPaintDevice& device_;
    QFont windowFont_;
    QFont font_;
    std::optional<QFontMetrics> metrics_;
    int newPages_ = 0;
};

// Sets the page orientation of a job and opens a painter on the device for the body; false
// when the device could not be painted on (the printer's own error has been reported by it).
bool RunPrintJob(QPagedPaintDevice& device, const PrintJob& job, const QFont& windowFont,
                 const std::function<void(PainterCanvas&)>& body);

// The three documents and the property table. All-modems prints nothing (and returns false)
// for an empty network; check before asking for a printer.
bool PrintGraphOn(QPagedPaintDevice& device, const Network& network);
bool PrintNodePropertiesOn(QPagedPaintDevice& device, const NodeListing& listing);
bool PrintAllPropertiesOn(QPagedPaintDevice& device, const Network& network,
                          const NodeLister& lister);
bool PrintPropertyTableOn(QPagedPaintDevice& device, const std::vector<GridToPrint>& grids,
                          double scaleX, double scaleY, bool routingMode,
                          const std::string& projectName, const QFont& tableFont);

// The page and resolution of a document written to PDF.
inline constexpr int kPdfResolution = 600;

// Writes a PDF of A4 pages through print (given the writer, which already carries the job's
// title); the file is written whole to a temporary beside it and renamed over path only when
// print returns true. error receives why nothing was written.
bool WritePdf(const std::string& path, const PrintJob& job,
              const std::function<bool(QPagedPaintDevice&)>& print, std::string* error = nullptr);

}  // namespace kelmor::designer::paint
