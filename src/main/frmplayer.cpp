// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/frmplayer.h"

#include "main/accessibility.h"
#include "main/controls.h"
#include "main/fonts.h"
#include "platform/error.h"

#include <QCloseEvent>
#include <QStyleFactory>

#include <map>
#include <type_traits>
#include <vector>

namespace {

constexpr int twipsPerPixel = 15;
// The nominal frame around the client area: 45 at left, right and bottom, 285 on top.
constexpr int frameWidthTwips = 90;
constexpr int frameHeightTwips = 330;

const QColor green(0, 255, 0);
const QColor black(0, 0, 0);
const QColor yellow(255, 255, 0);

// How a control looks beyond the window system's defaults.
enum Look : unsigned {
    Plain = 0,
    GreenOnBlack = 1 << 0, // background black, text green
    BlackBackground = 1 << 1,
    YellowArial = 1 << 2, // background yellow, Arial 8.25 point
    WindowColours = 1 << 3, // background system colour 5, text system colour 8
    InactiveBorder = 1 << 4, // background system colour 11
    ButtonText = 1 << 5, // text system colour 18
};

// One row of the window's control table: positions and sizes in twips, relative to the
// client area or, for the controls inside Frame1, to the frame. Tab -1: never takes focus.
// The spoken name is what a screen reader calls the control; empty, it reads the control's
// own caption (buttons, labels).
struct Row
{
    const char *name;
    QString text;
    QRect twips;
    unsigned look;
    int tab;
    QString spoken;
};

QRect toPixels(const QRect &twips)
{
    return {twips.x() / twipsPerPixel, twips.y() / twipsPerPixel, twips.width() / twipsPerPixel,
            twips.height() / twipsPerPixel};
}

void applyLook(QWidget *w, unsigned look)
{
    QPalette p = w->palette();
    auto paint = [&](const QColor &background, const QColor &text) {
        for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            p.setColor(role, background);
        if (text.isValid())
            for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                p.setColor(role, text);
    };
    if (look & GreenOnBlack)
        paint(black, green);
    if (look & BlackBackground) {
        // Black behind the control; its caption and the option buttons' circles stay
        // readable: green text, the circle's own colour kept.
        p.setColor(QPalette::Window, black);
        p.setColor(QPalette::Button, black);
        p.setColor(QPalette::ButtonText, green);
    }
    if (look & YellowArial) {
        paint(yellow, QColor());
        QFont arial(installedFamily(QStringLiteral("Arial"), QStringLiteral("Liberation Sans")));
        arial.setPointSizeF(8.25);
        w->setFont(arial);
    }
    if (look & WindowColours)
        paint(systemColour(5), systemColour(8));
    if (look & InactiveBorder)
        paint(systemColour(11), QColor());
    if (look & ButtonText)
        p.setColor(QPalette::WindowText, systemColour(18));
    w->setPalette(p);
    if (look & (GreenOnBlack | BlackBackground | WindowColours))
        w->setAutoFillBackground(true);
}

// Caption, text or picture of each kind of control.
void setText(QPushButton *w, const QString &t)
{
    w->setText(t);
}
void setText(QLineEdit *w, const QString &t)
{
    w->setText(t);
}
void setText(QLabel *w, const QString &t)
{
    w->setText(t);
}
void setText(PictureBox *w, const QString &t)
{
    w->setPicture(t);
}
void setText(QWidget *, const QString &) { }

// Text boxes, list boxes and combo boxes draw a sunken frame whatever their background.
template<typename T>
constexpr bool hasSunkenFrame
    = std::disjunction_v<std::is_base_of<QLineEdit, T>, std::is_base_of<QAbstractItemView, T>,
                         std::is_base_of<QComboBox, T>>;
// Labels, lines and shapes are drawn on the window's own surface, beneath every other
// control: a field that overlaps a label shows its whole frame.
template<typename T>
constexpr bool drawnOnSurface
    = std::disjunction_v<std::is_same<T, QLabel>, std::is_same<T, ClickLabel>,
                         std::is_same<T, LineControl>, std::is_same<T, ShapeControl>>;

// The classic sunken edge of the window style, in fixed grey tones that stand out on black
// whatever the desktop's colours: dark grey at top and left and white at bottom and right,
// within them a line of the dark shadow (black) and of the control's background.
void sinkFrame(QWidget *w, QStyle *style)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Dark, QColor(128, 128, 128));
    p.setColor(QPalette::Light, QColor(255, 255, 255));
    p.setColor(QPalette::Shadow, black);
    w->setPalette(p);
    w->setStyle(style);
}

} // namespace

frmPlayer::frmPlayer(Platform platform, QWidget *parent)
    : QWidget(parent), m_platform(std::move(platform))
{
    // Before anything here makes Qt describe the window to a screen reader.
    accessibility::install();
    setObjectName(QStringLiteral("frmPlayer"));
    setWindowTitle(QStringLiteral("Wakewell of Your"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/wakewell.ico")));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    // A parentless tool window does not end the program when it closes, and
    // setWindowFlags() clears this attribute: so it is set here, after the flags.
    setAttribute(Qt::WA_QuitOnClose);
    QPalette p = palette();
    p.setColor(QPalette::Window, black);
    p.setColor(QPalette::WindowText, black);
    setPalette(p);
    setAutoFillBackground(true);
    setMouseTracking(true);
    // The client area as laid out, until startup sets the window's size.
    setFixedSize(12615 / twipsPerPixel, 3795 / twipsPerPixel);

    createControls();
    // The layout's boxes were made for a small sans-serif: the font is chosen by measuring
    // the captions in them.
    setFont(captionFont(*this));
    cmbDrives->setFocus();
}

frmPlayer::~frmPlayer() = default;

void frmPlayer::createControls()
{
    std::map<int, QWidget *> tabOrder;
    std::vector<QWidget *> onSurface;
    // Qt's own classic Windows style draws the frames of text boxes, list boxes and combo
    // boxes; the window owns it.
    QStyle *const sunken = QStyleFactory::create(QStringLiteral("Windows"));
    if (sunken)
        sunken->setParent(this);
    // Makes one control from its row: parent, name, geometry, look, text and focus order.
    auto add = [&]<typename T>(T *w, const Row &row) {
        w->setObjectName(QString::fromLatin1(row.name));
        w->setGeometry(toPixels(row.twips));
        applyLook(w, row.look);
        if constexpr (hasSunkenFrame<T>)
            if (sunken)
                sinkFrame(w, sunken);
        if constexpr (drawnOnSurface<T>)
            onSurface.push_back(w);
        setText(w, row.text);
        if (!row.spoken.isEmpty())
            w->setAccessibleName(row.spoken);
        if (row.tab >= 0)
            tabOrder[row.tab] = w;
        else
            w->setFocusPolicy(Qt::NoFocus);
        return w;
    };
    auto timer = [this](const char *name, int intervalMs, bool enabled) {
        auto *t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(intervalMs);
        if (enabled)
            t->start();
        return t;
    };
    auto line = [&](QWidget *parent, const char *name, int x1, int y1, int x2, int y2) {
        auto *l = new LineControl(parent, QPointF(x1, y1) / twipsPerPixel,
                                  QPointF(x2, y2) / twipsPerPixel);
        l->setObjectName(QString::fromLatin1(name));
        onSurface.push_back(l);
        return l;
    };
    QWidget *const f = this;
    const QString none;
    // The labels' captions. A field or option button beside a label is spoken by the words
    // of the caption that stand beside it, without the blanks that place them.
    const QString alarmAt = QStringLiteral("sound alarm at: (ex. 3:34:00 PM)");
    const QString alarmIn = QStringLiteral("sound alarm in...");
    const QString hours = QStringLiteral("hours:");
    const QString minutes = QStringLiteral("minutes:");
    const QString seconds = QStringLiteral("seconds:");

    // clang-format off
    Picture3 = add(new PictureBox(f),  {"Picture3", ":/pictures/picture3.jpg", {7320, 120, 5175, 3615}, Plain, 31, "sunrise"});
    Picture2 = add(new PictureBox(f),  {"Picture2", ":/pictures/picture2.bmp", {4680, 960, 1215, 495}, WindowColours, 30, "small sunrise"});
    Picture1 = add(new PictureBox(f),  {"Picture1", ":/pictures/picture1.bmp", {600, 1440, 1215, 975}, Plain, 29, "alarm clock"});
    Command2 = add(new QPushButton(f), {"Command2", "V", {3840, 120, 375, 255}, YellowArial, 28, none});
    Command1 = add(new QPushButton(f), {"Command1", "Stop Song", {2880, 2640, 1455, 255}, Plain, 27, none});
    Text1 = add(new ClockField(f),     {"Text1", none, {120, 0, 3735, 285}, GreenOnBlack, 22, "clock"});
    Text2 = add(new QLineEdit(f),      {"Text2", none, {3000, 720, 1215, 285}, GreenOnBlack, 21, alarmAt});
    Text3 = add(new QLineEdit(f),      {"Text3", "0", {3000, 1200, 1215, 285}, GreenOnBlack, 20, hours});
    Text4 = add(new QLineEdit(f),      {"Text4", "0", {3000, 1560, 1215, 285}, GreenOnBlack, 19, minutes});
    Option1 = add(new QRadioButton(f), {"Option1", none, {120, 720, 375, 255}, BlackBackground, 18, alarmAt});
    Option2 = add(new QRadioButton(f), {"Option2", none, {120, 1200, 255, 255}, BlackBackground, 17, alarmIn});
    Timer2 = timer("Timer2", 1000, true);
    Text5 = add(new QLineEdit(f),      {"Text5", "0", {3000, 1920, 1215, 285}, GreenOnBlack, 16, seconds});
    Timer1 = timer("Timer1", 3000, false);
    Frame1 = add(new QGroupBox(f),     {"Frame1", none, {1680, 6960, 6495, 1005}, Plain, 7, none});
    QWidget *const fr = Frame1;
    slVolume = add(new QSlider(Qt::Horizontal, fr), {"slVolume", none, {4800, 360, 1455, 375}, Plain, 14, "volume"});
    cmdNext = add(new QPushButton(fr),  {"cmdNext", "Next", {3960, 600, 735, 255}, Plain, 13, none});
    cmdBack = add(new QPushButton(fr),  {"cmdBack", "Back", {3120, 600, 735, 255}, Plain, 12, none});
    cmdStop = add(new QPushButton(fr),  {"cmdStop", "Stop", {1800, 600, 735, 255}, Plain, 11, none});
    cmdPause = add(new QPushButton(fr), {"cmdPause", "Pause", {960, 600, 735, 255}, Plain, 10, none});
    cmdPlay = add(new QPushButton(fr),  {"cmdPlay", "Play", {120, 600, 735, 255}, Plain, 9, none});
    txtSong = add(new QLineEdit(fr),    {"txtSong", none, {120, 240, 4575, 285}, InactiveBorder, 8, "current song"});
    Line3 = line(fr, "Line3", 5145, 330, 4905, 210);
    Line2 = line(fr, "Line2", 4920, 330, 5160, 330);
    Line1 = line(fr, "Line1", 4905, 210, 4905, 330);
    lblHide = add(new ClickLabel(fr),       {"lblHide", ">>", {6240, 720, 210, 210}, ButtonText, 15, none});
    cmdRemove = add(new QPushButton(f), {"cmdRemove", "Remove", {1560, 4440, 1215, 375}, Plain, 6, none});
    cmdClear = add(new QPushButton(f),  {"cmdClear", "Clear", {2880, 4440, 1215, 375}, Plain, 5, none});
    lstSelected = add(new QListWidget(f), {"lstSelected", none, {120, 4920, 6375, 255}, GreenOnBlack, 4, "playlist"});
    cmdAdd = add(new QPushButton(f),    {"cmdAdd", "Add", {240, 4440, 1215, 375}, Plain, 3, none});
    cmdUp = add(new QPushButton(f),     {"cmdUp", "Up", {2160, 2640, 495, 315}, BlackBackground, 2, none});
    lstFiles = add(new QListWidget(f),  {"lstFiles", none, {120, 3000, 6375, 1425}, GreenOnBlack, 1, "folder"});
    cmbDrives = add(new QComboBox(f),   {"cmbDrives", none, {120, 2640, 1935, 315}, GreenOnBlack, 0, "drives"});
    Label1 = add(new QLabel(f), {"Label1", alarmAt, {600, 720, 2415, 255}, GreenOnBlack, 26, none});
    Label2 = add(new QLabel(f), {"Label2", alarmIn + QString(15, u' ') + hours, {600, 1200, 2415, 255}, GreenOnBlack, 25, none});
    Label3 = add(new QLabel(f), {"Label3", "   " + minutes, {2160, 1560, 735, 255}, GreenOnBlack, 24, none});
    Shape1 = add(new ShapeControl(f, green), {"Shape1", none, {0, 1080, 4335, 1455}, Plain, -1, none});
    Shape2 = add(new ShapeControl(f, green), {"Shape2", none, {0, 600, 4335, 495}, Plain, -1, none});
    Label4 = add(new QLabel(f), {"Label4", seconds, {2280, 1920, 735, 255}, GreenOnBlack, 23, none});
    // clang-format on

    // In the order of creation among themselves, beneath the others.
    for (auto w = onSurface.rbegin(); w != onSurface.rend(); ++w)
        (*w)->lower();
    // Labels and the frame keep their place in the Tab column but never take the focus.
    for (QWidget *w :
         std::initializer_list<QWidget *> {Frame1, lblHide, Label1, Label2, Label3, Label4})
        w->setFocusPolicy(Qt::NoFocus);
    lblHide->setToolTip(QStringLiteral("Show/Hide files"));
    // The caption "V" says little to a person who hears it.
    Command2->setAccessibleDescription(
        QStringLiteral("Shows or hides the drives, the files and the playlist"));
    // Moves over lblHide are an event of the label, without a button held.
    lblHide->setMouseTracking(true);

    txtSong->setReadOnly(true);
    slVolume->setRange(0, 300);
    slVolume->setValue(290);
    lstFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstSelected->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every entry is one line of text in the list's font: with uniform sizes the lists lay out
    // 32,767 entries in a few milliseconds, instead of measuring each one (about 100 ms).
    lstFiles->setUniformItemSizes(true);
    lstSelected->setUniformItemSizes(true);
    cmbDrives->setEditable(true);
    // Typed text never becomes a drive: the focus starts in this box, and a user who types
    // an alarm time there and presses Enter must not create one.
    cmbDrives->setInsertPolicy(QComboBox::NoInsert);
    cmbDrives->setCompleter(nullptr);

    QWidget *previous = nullptr;
    for (const auto &[tab, w] : tabOrder) {
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
}

FileSystem &frmPlayer::fso()
{
    if (!m_fso)
        m_fso = m_platform.createFileSystem();
    return *m_fso;
}

MediaPlayer &frmPlayer::mpPlayer()
{
    if (!m_mpPlayer)
        m_mpPlayer = m_platform.createMediaPlayer();
    return *m_mpPlayer;
}

Collection &frmPlayer::colPlaylist()
{
    if (!m_colPlaylist)
        m_colPlaylist = std::make_unique<Collection>();
    return *m_colPlaylist;
}

void frmPlayer::releaseComponents()
{
    m_mpPlayer.reset();
    m_colPlaylist.reset();
    m_fso.reset();
}

void frmPlayer::EnablePlaylistButtons(bool enabled)
{
    for (QPushButton *button : {cmdAdd, cmdRemove, cmdClear})
        button->setEnabled(enabled);
}

void frmPlayer::setTimer1Enabled(bool enabled)
{
    if (!enabled)
        Timer1->stop();
    else if (!Timer1->isActive())
        Timer1->start();
}

int frmPlayer::outerWidth() const
{
    return width() * twipsPerPixel + frameWidthTwips;
}

int frmPlayer::outerHeight() const
{
    return height() * twipsPerPixel + frameHeightTwips;
}

void frmPlayer::setOuterWidth(int twips)
{
    setFixedWidth(qRound((twips - frameWidthTwips) / double(twipsPerPixel)));
}

void frmPlayer::setOuterHeight(int twips)
{
    setFixedHeight(qRound((twips - frameHeightTwips) / double(twipsPerPixel)));
}

void frmPlayer::run(const std::function<void()> &handler)
{
    // The unload is the window's last event: nothing runs after it, so nothing is made anew.
    if (m_unloaded)
        return;
    ++m_handlersRunning;
    try {
        handler();
    } catch (const WakewellError &e) {
        report(e.description());
    } catch (const std::exception &e) {
        report(QString::fromLocal8Bit(e.what()));
    }
    --m_handlersRunning;
    settle();
}

void frmPlayer::settle()
{
    if (m_handlersRunning == 0 && !m_closing)
        emit settled();
}

void frmPlayer::report(const QString &text)
{
    m_pendingMessages.append(text);
    // After the running handler has returned, and only once the window can show a box.
    if (isVisible())
        QTimer::singleShot(0, this, &frmPlayer::showNextMessage);
}

void frmPlayer::showNextMessage()
{
    if (m_messageBox || m_pendingMessages.isEmpty() || m_unloaded)
        return;
    auto *box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Wakewell"),
                                m_pendingMessages.takeFirst(), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("messageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    connect(box, &QMessageBox::finished, this, [this] {
        m_messageBox = nullptr;
        QTimer::singleShot(0, this, &frmPlayer::showNextMessage);
    });
    m_messageBox = box;
    // open() returns at once: no nested event loop, so no handler runs inside another.
    box->open();
}

void frmPlayer::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    QTimer::singleShot(0, this, &frmPlayer::showNextMessage);
}

void frmPlayer::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        // After this paint has reached the screen.
        QTimer::singleShot(0, this, &frmPlayer::shownOnScreen);
    }
}

void frmPlayer::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        // Those beside the window are told first, and nothing after: the unload releases the
        // player, which telling them of the transport would make anew.
        m_closing = true;
        m_transportStatus.close();
        emit Unload();
        m_unloaded = true;
    }
    event->accept();
}

void frmPlayer::mouseMoveEvent(QMouseEvent *event)
{
    emit MouseMove();
    QWidget::mouseMoveEvent(event);
}

void frmPlayer::play()
{
    cmdPlay->click();
}

void frmPlayer::pause()
{
    cmdPause->click();
}

void frmPlayer::stop()
{
    cmdStop->click();
}

void frmPlayer::next()
{
    cmdNext->click();
}

void frmPlayer::previous()
{
    cmdBack->click();
}

void frmPlayer::bringForward()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void frmPlayer::quit()
{
    // After the caller has returned (a bus call its reply).
    QTimer::singleShot(0, this, &QWidget::close);
}

bool frmPlayer::hasAudioOutput()
{
    return mpPlayer().HasAudioOutput();
}
