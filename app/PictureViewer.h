#pragma once

#include "controls/ImageBox.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPrinter;

namespace qb {

class Dialogs;
class PictureView;
class ViewedPicture;

// The window "查看图片": the picture an image box shows, whole and at its own
// proportions, to be read again. It zooms (Ctrl+wheel, Ctrl++ and Ctrl+-),
// switches between fitted and 1:1 (Ctrl+0), pans (dragging, scroll bars,
// arrow keys), turns by quarter turns for viewing only (Ctrl+L, Ctrl+R) and
// prints what it shows (Ctrl+P). Esc closes it. The file is only read.
class PictureViewer : public QWidget
{
    Q_OBJECT
public:
    // Asked for the picture `step` hits further on (PageDown +1, PageUp -1);
    // yields what is shown then, or nothing when there is no such hit.
    using Pager = std::function<std::optional<PictureSource>(int step)>;

    PictureViewer(Dialogs& dialogs, QWidget* parent = nullptr);
    ~PictureViewer() override;

    // Shows the picture of `source` and brings the window up. A file that
    // cannot be shown (gone since the preview, or no longer decodable) is
    // reported in a message box naming it, and the window stays as it was.
    // Returns whether the picture is shown.
    bool showSource(const PictureSource& source);
    void setPager(Pager pager) { m_pager = std::move(pager); }

    const PictureSource& source() const { return m_source; }
    // The zoom: shown pixels per pixel of the picture.
    double scale() const;
    int quarterTurns() const;
    bool fitted() const;
    // The note shown under the picture, empty when there is none.
    QString note() const;

    void zoomIn();
    void zoomOut();
    void toggleOneToOne();
    void turn(int quarterTurns);
    void turnPage(int step);
    // Prints the picture as shown (turned), fitted to the page.
    void print(QPrinter& printer);

private:
    void openPrintDialog();
    void updateNote();

    Dialogs& m_dialogs;
    PictureSource m_source;
    std::unique_ptr<ViewedPicture> m_picture;
    PictureView* m_view = nullptr;
    QLabel* m_note = nullptr;
    Pager m_pager;
};

} // namespace qb
