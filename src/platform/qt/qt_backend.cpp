#include "platform/qt/qt_backend.h"

#include "platform/posix/backend.h"
#include "platform/qt/key_mapping.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cmath>
#include <map>

// The icons compiled in from icons.qrc; Q_INIT_RESOURCE must be used outside every namespace.
static void register_icon_resource() {
    Q_INIT_RESOURCE(icons);
}

namespace vorla::platform {

namespace {

QString to_qt(const std::wstring& text) {
    return QString::fromStdWString(text);
}

// One top-level window: shows the layer's framebuffer and hands input to it.
class client_widget final : public QWidget {
  public:
    explicit client_widget(window_id id) : id_(id) {
        // We draw every pixel ourselves; Qt must not clear anything before a paint.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
    }

    void show_pixels(const std::uint32_t* pixels, int width, int height, rect_i dirty) {
        if (image_.width() != width || image_.height() != height) {
            image_ = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
            image_.fill(Qt::white);
            dirty = rect_i{0, 0, width, height};
        }
        dirty.left = std::clamp(dirty.left, 0, width);
        dirty.right = std::clamp(dirty.right, 0, width);
        dirty.top = std::clamp(dirty.top, 0, height);
        dirty.bottom = std::clamp(dirty.bottom, 0, height);
        for (int y = dirty.top; y < dirty.bottom; ++y) {
            auto* line = reinterpret_cast<std::uint32_t*>(image_.scanLine(y));
            const std::uint32_t* source = pixels + static_cast<std::size_t>(y) * width;
            for (int x = dirty.left; x < dirty.right; ++x) {
                line[x] = 0xFF000000u | source[x];
            }
        }
        // At once, not at the next turn of the event loop: the program may keep the thread
        // busy for a while after drawing (the bitmap import's wait line).
        repaint(QRect(dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top));
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        const QRect area = event->rect();
        painter.fillRect(area, Qt::white); // only where the framebuffer does not reach yet
        painter.drawImage(area.topLeft(), image_, area);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        send_mouse(input_event::kind::mouse_move, event);
    }
    void mousePressEvent(QMouseEvent* event) override {
        send_mouse(input_event::kind::mouse_press, event);
    }
    // The layer tells double clicks itself, from the class style.
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        send_mouse(input_event::kind::mouse_press, event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        send_mouse(input_event::kind::mouse_release, event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        send_key(input_event::kind::key_press, event);
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        send_key(input_event::kind::key_release, event);
    }
    void resizeEvent(QResizeEvent*) override {
        input_event e;
        e.type = input_event::kind::resize;
        e.window = id_;
        e.width = width();
        e.height = height();
        deliver_input(e);
    }
    void closeEvent(QCloseEvent* event) override {
        event->ignore(); // the program decides, through WM_CLOSE
        input_event e;
        e.type = input_event::kind::close_request;
        e.window = id_;
        deliver_input(e);
    }

  private:
    void send_mouse(input_event::kind kind, QMouseEvent* event) {
        input_event e;
        e.type = kind;
        e.window = id_;
        const QPointF at = event->position();
        e.x = static_cast<int>(std::floor(at.x()));
        e.y = static_cast<int>(std::floor(at.y()));
        e.shift = (event->modifiers() & Qt::ShiftModifier) != 0;
        e.control = (event->modifiers() & Qt::ControlModifier) != 0;
        switch (event->button()) {
        case Qt::LeftButton:
            e.button = mouse_button::left;
            break;
        case Qt::RightButton:
            e.button = mouse_button::right;
            break;
        case Qt::MiddleButton:
            e.button = mouse_button::middle;
            break;
        default:
            if (kind != input_event::kind::mouse_move) {
                return;
            }
            break;
        }
        deliver_input(e);
    }
    void send_key(input_event::kind kind, QKeyEvent* event) {
        const unsigned vk = virtual_key_from_qt(
            event->key(), (event->modifiers() & Qt::KeypadModifier) != 0, event->nativeScanCode());
        if (vk == 0) {
            return;
        }
        input_event e;
        e.type = kind;
        e.window = id_;
        e.virtual_key = vk;
        e.shift = (event->modifiers() & Qt::ShiftModifier) != 0;
        e.control = (event->modifiers() & Qt::ControlModifier) != 0;
        e.alt = (event->modifiers() & Qt::AltModifier) != 0;
        e.auto_repeat = event->isAutoRepeat();
        const QString text = event->text();
        if (kind == input_event::kind::key_press && text.size() == 1 &&
            text.at(0).unicode() != 0x7F) {
            e.character = static_cast<wchar_t>(text.at(0).unicode());
        }
        deliver_input(e);
    }

    window_id id_;
    QImage image_;
};

class qt_backend final : public backend {
  public:
    qt_backend() {
        clock_.start();
        wake_.setSingleShot(true);
        wake_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wake_, &QTimer::timeout, [] {});
    }
    ~qt_backend() override {
        for (auto& [id, widget] : widgets_) {
            delete widget;
        }
    }

    std::uint64_t now_ms() override {
        return static_cast<std::uint64_t>(clock_.elapsed());
    }

    void wait_events(std::optional<std::uint64_t> deadline_ms) override {
        if (deadline_ms) {
            const std::uint64_t now = now_ms();
            if (*deadline_ms <= now) {
                poll_events();
                return;
            }
            wake_.start(static_cast<int>(std::min<std::uint64_t>(*deadline_ms - now, INT_MAX)));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        wake_.stop();
    }

    void poll_events() override {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }

    int screen_width() override {
        QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->geometry().width() : 1024;
    }
    int screen_height() override {
        QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->geometry().height() : 768;
    }
    unsigned double_click_time_ms() override {
        return static_cast<unsigned>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    }

    std::pair<int, int> create_window(window_id id, const std::wstring& title, int x, int y,
                                      int width, int height, bool resizable) override {
        auto* widget = new client_widget(id);
        widget->setWindowTitle(to_qt(title));
        widget->resize(std::max(width, 1), std::max(height, 1));
        widget->move(x, y);
        if (!resizable) {
            widget->setFixedSize(widget->size());
        }
        widgets_[id] = widget;
        outer_[id] = QRect(x, y, width, height);
        return {width, height};
    }

    void destroy_window(window_id id) override {
        auto it = widgets_.find(id);
        if (it == widgets_.end()) {
            return;
        }
        if (it->second == QWidget::mouseGrabber()) {
            it->second->releaseMouse();
        }
        it->second->hide();
        it->second->deleteLater();
        widgets_.erase(it);
        outer_.erase(id);
    }

    void show_window(window_id id, bool visible) override {
        client_widget* widget = find(id);
        if (widget == nullptr) {
            return;
        }
        if (!visible) {
            widget->hide();
            return;
        }
        widget->show();
        widget->raise();
        widget->activateWindow();
        fit_outer_size(id, widget);
        // Some window managers report their frame only a moment after mapping.
        QTimer::singleShot(300, widget, [this, id] {
            if (client_widget* shown = find(id)) {
                fit_outer_size(id, shown);
            }
        });
    }

    void set_title(window_id id, const std::wstring& title) override {
        if (client_widget* widget = find(id)) {
            widget->setWindowTitle(to_qt(title));
        }
    }

    void present(window_id id, const std::uint32_t* pixels, int width, int height,
                 rect_i dirty) override {
        if (client_widget* widget = find(id)) {
            widget->show_pixels(pixels, width, height, dirty);
        }
    }

    void set_capture(window_id id, bool captured) override {
        client_widget* widget = find(id);
        if (widget == nullptr || !widget->isVisible()) {
            return;
        }
        if (captured) {
            widget->grabMouse();
        } else if (QWidget::mouseGrabber() == widget) {
            widget->releaseMouse();
        }
    }

    std::optional<std::wstring> open_file_dialog(const open_dialog_request& request,
                                                 const modal_pump& pump) override {
        QFileDialog dialog(find(request.owner),
                           request.title.empty() ? QStringLiteral("Open") : to_qt(request.title));
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.file_must_exist ? QFileDialog::ExistingFile
                                                   : QFileDialog::AnyFile);
        QStringList filters;
        for (const auto& [display, patterns] : request.filters) {
            filters << name_filter(to_qt(display), to_qt(patterns));
        }
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            dialog.selectNameFilter(filters.value(request.filter_index, filters.first()));
        }
        if (!request.default_extension.empty()) {
            dialog.setDefaultSuffix(to_qt(request.default_extension));
        }
        if (!request.initial_path.empty()) {
            const QFileInfo initial(to_qt(request.initial_path));
            dialog.setDirectory(initial.absolutePath());
            dialog.selectFile(initial.fileName());
        } else {
            dialog.setDirectory(QDir::currentPath());
        }
        if (run_modal(dialog, pump) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().first().toStdWString();
    }

    message_box_answer message_box(const message_box_request& request,
                                   const modal_pump& pump) override {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (request.icon) {
        case message_box_icon::error:
            icon = QMessageBox::Critical;
            break;
        case message_box_icon::question:
            icon = QMessageBox::Question;
            break;
        case message_box_icon::warning:
            icon = QMessageBox::Warning;
            break;
        case message_box_icon::information:
            icon = QMessageBox::Information;
            break;
        case message_box_icon::none:
            break;
        }
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        if (request.buttons == message_box_buttons::ok_cancel) {
            buttons = QMessageBox::Ok | QMessageBox::Cancel;
        } else if (request.buttons == message_box_buttons::yes_no) {
            buttons = QMessageBox::Yes | QMessageBox::No;
        }
        QMessageBox box(icon, to_qt(request.caption), to_qt(request.text), buttons,
                        find(request.owner));
        switch (run_modal(box, pump)) {
        case QMessageBox::Cancel:
            return message_box_answer::cancel;
        case QMessageBox::Yes:
            return message_box_answer::yes;
        case QMessageBox::No:
            return message_box_answer::no;
        case QMessageBox::Ok:
            return message_box_answer::ok;
        default: // closed without a button
            return request.buttons == message_box_buttons::ok_cancel ? message_box_answer::cancel
                                                                     : message_box_answer::ok;
        }
    }

  private:
    client_widget* find(window_id id) {
        auto it = widgets_.find(id);
        return it == widgets_.end() ? nullptr : it->second;
    }

    // The window's outer size, frame included, is what the program asked for: once the window
    // manager has framed the window, the client area gives up the frame's share.
    void fit_outer_size(window_id id, client_widget* widget) {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        const QRect outer = outer_[id];
        const QRect frame = widget->frameGeometry();
        const int extra_w = frame.width() - widget->width();
        const int extra_h = frame.height() - widget->height();
        if ((extra_w > 0 || extra_h > 0) && frame.size() != outer.size()) {
            widget->resize(std::max(outer.width() - extra_w, 1),
                           std::max(outer.height() - extra_h, 1));
            widget->move(outer.x(), outer.y());
        }
    }

    // "bitmap(*.bmp)" with "*.bmp" stays as it is; a text without its patterns gets them added,
    // since Qt reads the patterns from the parentheses.
    static QString name_filter(const QString& display, const QString& patterns) {
        QString qt_patterns = patterns;
        qt_patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (display.endsWith(QLatin1Char(')')) && display.contains(QLatin1Char('('))) {
            const int open = static_cast<int>(display.lastIndexOf(QLatin1Char('(')));
            if (display.mid(open + 1, display.size() - open - 2).trimmed() ==
                qt_patterns.trimmed()) {
                return display;
            }
        }
        return display + QStringLiteral(" (") + qt_patterns + QLatin1Char(')');
    }

    // A modal loop that keeps handling the program's timers and repaints.
    static int run_modal(QDialog& dialog, const modal_pump& pump) {
        QTimer pump_timer;
        pump_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&pump_timer, &QTimer::timeout, [&pump] { pump(); });
        pump_timer.start(1);
        const int result = dialog.exec();
        pump_timer.stop();
        return result;
    }

    QElapsedTimer clock_;
    QTimer wake_;
    std::map<window_id, client_widget*> widgets_;
    std::map<window_id, QRect> outer_;
};

// Every window gets the program's icon, and the desktop matches the windows to the menu entry
// of the same name (on Wayland through the application id).
void set_program_icon() {
    register_icon_resource();
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/vorla/vorla-%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral(VORLA_APP_ID));
}

} // namespace

struct qt_session::parts {
    std::unique_ptr<QApplication> application;
    std::unique_ptr<qt_backend> backend;
};

qt_session::qt_session(int& argc, char** argv) : parts_(std::make_unique<parts>()) {
    parts_->application = std::make_unique<QApplication>(argc, argv);
    // QApplication switches the C library to the user's locale; a Windows program keeps the
    // "C" locale, so numbers print "1.000000" whatever the desktop's language.
    std::setlocale(LC_NUMERIC, "C");
    // Japanese texts (dialog caption, message boxes) need a CJK font whatever the desktop has.
    for (const char* file : {"/usr/share/fonts/truetype/vlgothic/VL-PGothic-Regular.ttf",
                             "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf"}) {
        QFontDatabase::addApplicationFont(QString::fromUtf8(file));
    }
    set_program_icon();
    parts_->backend = std::make_unique<qt_backend>();
    set_backend(parts_->backend.get());
}

qt_session::~qt_session() {
    set_backend(nullptr);
    parts_->backend.reset();
    parts_->application.reset();
}

} // namespace vorla::platform
