#include "scanner.h"

#include "frames.h"

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QThread>

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <poll.h>
#include <pthread.h>

#include <atomic>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace images {

QString ScanDevice::displayName() const {
    const QString joined = (model + u' ' + vendor).trimmed();
    return joined.isEmpty() ? name : joined;
}

QString ScanFailureMessage(const QString& reason) {
    return u"扫描失败："_s + reason;
}

// What the window's thread and the scanner thread share: the open device (for cancel) and the
// cancel request itself.
struct ScanShared {
    QMutex mutex;
    SANE_Handle handle = nullptr;
    std::atomic<bool> cancel{false};
    std::atomic<bool> scanning{false};
    // The device has passed on bytes of the current acquisition (see waitForReader).
    std::atomic<bool> dataSeen{false};
};

namespace {

// sane_init … sane_exit may be open only once per process: a second window waits (on its own
// scanner thread) until the first one's session has ended.
QSemaphore& sessionSlot() {
    static QSemaphore slot(1);
    return slot;
}

QString statusText(SANE_Status status) {
    return QString::fromUtf8(sane_strstatus(status));
}

int optionIndex(SANE_Handle handle, const QString& name, const SANE_Option_Descriptor** found) {
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return -1;
    const QByteArray wanted = name.toUtf8();
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if (d && d->name && wanted == d->name) {
            *found = d;
            return i;
        }
    }
    return -1;
}

bool setOption(SANE_Handle handle, const QString& name, const QVariant& value) {
    const SANE_Option_Descriptor* d = nullptr;
    const int index = optionIndex(handle, name, &d);
    if (index < 0 || !SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap))
        return false;
    SANE_Int info = 0;
    const int words = qMax<int>(1, d->size / int(sizeof(SANE_Word)));
    switch (d->type) {
    case SANE_TYPE_BOOL: {
        SANE_Bool b = value.toBool() ? SANE_TRUE : SANE_FALSE;
        return sane_control_option(handle, index, SANE_ACTION_SET_VALUE, &b, &info) == SANE_STATUS_GOOD;
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED: {
        const SANE_Word w = d->type == SANE_TYPE_INT ? SANE_Word(value.toInt()) : SANE_FIX(value.toDouble());
        std::vector<SANE_Word> v(std::size_t(words), w);
        return sane_control_option(handle, index, SANE_ACTION_SET_VALUE, v.data(), &info) == SANE_STATUS_GOOD;
    }
    case SANE_TYPE_STRING: {
        QByteArray text = value.toString().toUtf8();
        QByteArray buffer(qMax<int>(d->size, int(text.size()) + 1), '\0');
        std::memcpy(buffer.data(), text.constData(), std::size_t(text.size()));
        return sane_control_option(handle, index, SANE_ACTION_SET_VALUE, buffer.data(), &info) == SANE_STATUS_GOOD;
    }
    case SANE_TYPE_BUTTON:
        return sane_control_option(handle, index, SANE_ACTION_SET_VALUE, nullptr, &info) == SANE_STATUS_GOOD;
    default:
        return false;
    }
}

// Colour mode: the standard value when the device lists it, else the first mode that names colour.
void setColourMode(SANE_Handle handle) {
    const SANE_Option_Descriptor* d = nullptr;
    if (optionIndex(handle, QString::fromLatin1(SANE_NAME_SCAN_MODE), &d) < 0 || d->type != SANE_TYPE_STRING)
        return;
    if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list) {
        QString chosen;
        for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) {
            const QString mode = QString::fromUtf8(*s);
            if (mode == QString::fromLatin1(SANE_VALUE_SCAN_MODE_COLOR)) {
                chosen = mode;
                break;
            }
            if (chosen.isEmpty() &&
                (mode.contains(u"color"_s, Qt::CaseInsensitive) || mode.contains(u"colour"_s, Qt::CaseInsensitive)))
                chosen = mode;
        }
        if (!chosen.isEmpty())
            setOption(handle, QString::fromLatin1(SANE_NAME_SCAN_MODE), chosen);
        return;
    }
    setOption(handle, QString::fromLatin1(SANE_NAME_SCAN_MODE), QString::fromLatin1(SANE_VALUE_SCAN_MODE_COLOR));
}

// Backends that read the device on a thread of their own stop it at sane_cancel with an
// asynchronous thread cancel (SANE's reader threads do). A reader cancelled while it still
// allocates its buffer leaves the allocator's lock taken: the backend's cancel then waits forever
// and every later allocation in that arena hangs, up to the end of the process. So an acquisition
// that ends before the device passed on any byte (an early device error, a quick cancel) first
// waits until the reader has written its first bytes (or closed its pipe), at most two seconds.
void waitForReader(SANE_Handle handle) {
    SANE_Int fd = -1;
    if (sane_get_select_fd(handle, &fd) == SANE_STATUS_GOOD && fd >= 0) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 2000);
        return;
    }
    QThread::msleep(100); // no descriptor to wait on: give the reader a moment to start
}

// pthread_exit and pthread_cancel load the C library's unwinder (libgcc_s) the first time either
// runs in the process, with the dynamic loader's lock held. A backend's reader thread that ends
// with pthread_exit while cancellation is asynchronous (see waitForReader) can be cancelled inside
// that load and dies holding the loader's lock: every later library load and the process's exit
// hang. A throwaway thread that exits once at start-up loads it where nothing can interrupt it.
void LoadThreadUnwinder() {
    static const bool loaded = [] {
        pthread_t thread;
        if (pthread_create(
                &thread, nullptr, [](void*) -> void* { pthread_exit(nullptr); }, nullptr) != 0)
            return false;
        pthread_join(thread, nullptr);
        return true;
    }();
    (void)loaded;
}

FrameParameters frameParameters(const SANE_Parameters& p) {
    FrameParameters f;
    f.kind = FrameKind(int(p.format));
    f.lastFrame = p.last_frame == SANE_TRUE;
    f.bytesPerLine = p.bytes_per_line;
    f.pixelsPerLine = p.pixels_per_line;
    f.lines = p.lines;
    f.depth = p.depth;
    return f;
}

} // namespace

// Lives on the scanner thread; every slot runs there.
class ScanWorker : public QObject {
    Q_OBJECT
public:
    explicit ScanWorker(std::shared_ptr<ScanShared> shared) : shared_(std::move(shared)) {}
    ~ScanWorker() override { shutdown(); }

    void findDevices() {
        QList<ScanDevice> devices;
        if (open()) {
            const SANE_Device** list = nullptr;
            if (sane_get_devices(&list, SANE_FALSE) == SANE_STATUS_GOOD && list)
                for (const SANE_Device** d = list; *d; ++d)
                    devices.append({QString::fromUtf8((*d)->name), QString::fromUtf8((*d)->vendor),
                                    QString::fromUtf8((*d)->model)});
        }
        emit devicesFound(devices);
    }

    void scan(const ScanRequest& request) {
        QString failure;
        QImage image;
        if (!open())
            failure = ScanFailureMessage(u"扫描仪接口无法启动"_s);
        else
            image = acquire(request, &failure);
        const bool wasCancelled = shared_->cancel.exchange(false);
        shared_->scanning = false;
        if (wasCancelled)
            emit cancelled();
        else if (!failure.isEmpty())
            emit failed(failure);
        else
            emit acquired(image);
    }

    void shutdown() {
        if (!open_)
            return;
        sane_exit();
        open_ = false;
        sessionSlot().release();
    }

signals:
    void devicesFound(const QList<images::ScanDevice>& devices);
    void progress(int percent);
    void acquired(const QImage& image);
    void failed(const QString& message);
    void cancelled();

private:
    bool open() {
        if (open_)
            return true;
        sessionSlot().acquire();
        SANE_Int version = 0;
        if (sane_init(&version, nullptr) != SANE_STATUS_GOOD) {
            sessionSlot().release();
            return false;
        }
        open_ = true;
        return true;
    }

    QImage acquire(const ScanRequest& request, QString* failure) {
        SANE_Handle handle = nullptr;
        SANE_Status status = sane_open(request.deviceName.toUtf8().constData(), &handle);
        if (status != SANE_STATUS_GOOD) {
            *failure = ScanFailureMessage(statusText(status));
            return {};
        }
        {
            QMutexLocker lock(&shared_->mutex);
            shared_->handle = handle;
        }
        if (request.colour)
            setColourMode(handle);
        for (const ScanOption& option : request.options)
            setOption(handle, option.first, option.second);

        FrameAssembler frames;
        QString assemblyError;
        int shownPercent = -2;
        std::vector<SANE_Byte> buffer(std::size_t(64) * 1024);
        shared_->dataSeen = false;
        status = shared_->cancel ? SANE_STATUS_CANCELLED : sane_start(handle);
        const bool started = status == SANE_STATUS_GOOD;
        while (status == SANE_STATUS_GOOD) {
            SANE_Parameters p;
            status = sane_get_parameters(handle, &p);
            if (status != SANE_STATUS_GOOD)
                break;
            if (!frames.beginFrame(frameParameters(p))) {
                assemblyError = frames.error();
                break;
            }
            for (;;) {
                if (shared_->cancel) {
                    status = SANE_STATUS_CANCELLED;
                    break;
                }
                SANE_Int length = 0;
                status = sane_read(handle, buffer.data(), SANE_Int(buffer.size()), &length);
                if (status != SANE_STATUS_GOOD)
                    break;
                if (length > 0)
                    shared_->dataSeen = true;
                frames.append(reinterpret_cast<const char*>(buffer.data()), length);
                const qint64 expected = frames.expectedBytes();
                const int percent = expected > 0 ? int(qMin<qint64>(100, frames.receivedBytes() * 100 / expected)) : -1;
                if (percent != shownPercent) {
                    shownPercent = percent;
                    emit progress(percent);
                }
            }
            if (status != SANE_STATUS_EOF)
                break;
            if (frames.endFrame())
                break;
            status = sane_start(handle);
        }
        {
            QMutexLocker lock(&shared_->mutex);
            shared_->handle = nullptr;
        }
        if (started && status != SANE_STATUS_EOF && !shared_->dataSeen)
            waitForReader(handle);
        sane_cancel(handle); // ends the acquisition, whatever its outcome
        sane_close(handle);

        if (shared_->cancel)
            return {};
        if (!assemblyError.isEmpty()) {
            *failure = ScanFailureMessage(assemblyError);
            return {};
        }
        if (!frames.complete()) {
            *failure = ScanFailureMessage(statusText(status));
            return {};
        }
        QImage image = frames.image();
        if (image.isNull())
            *failure = ScanFailureMessage(u"扫描仪没有送来完整的图像"_s);
        return image;
    }

    std::shared_ptr<ScanShared> shared_;
    bool open_ = false;
};

Scanner::Scanner(QObject* parent) : QObject(parent), shared_(std::make_shared<ScanShared>()) {
    LoadThreadUnwinder();
    qRegisterMetaType<QList<images::ScanDevice>>();
    thread_ = new QThread;
    thread_->setObjectName(u"扫描线程"_s);
    worker_ = new ScanWorker(shared_);
    worker_->moveToThread(thread_);
    connect(worker_, &ScanWorker::devicesFound, this, &Scanner::devicesFound);
    connect(worker_, &ScanWorker::progress, this, &Scanner::progress);
    connect(worker_, &ScanWorker::acquired, this, &Scanner::acquired);
    connect(worker_, &ScanWorker::failed, this, &Scanner::failed);
    connect(worker_, &ScanWorker::cancelled, this, &Scanner::cancelled);
    thread_->start();
}

Scanner::~Scanner() {
    cancel();
    // The worker ends its SANE session and is deleted on its own thread, then the thread stops.
    QMetaObject::invokeMethod(
        worker_,
        [w = worker_] {
            delete w;
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    // A cancelled acquisition ends within moments; only a device search that is still asking the
    // backends (sane_get_devices cannot be interrupted) outlasts this, and is then left to end
    // alone rather than freezing the closing window.
    if (thread_->wait(2000)) {
        delete thread_;
        return;
    }
    QObject::connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
    if (thread_->isFinished()) // ended between the wait and the connection
        thread_->deleteLater();
}

void Scanner::findDevices() {
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->findDevices(); }, Qt::QueuedConnection);
}

void Scanner::scan(const ScanRequest& request) {
    if (shared_->scanning.exchange(true))
        return;
    shared_->cancel = false;
    QMetaObject::invokeMethod(
        worker_, [w = worker_, request] { w->scan(request); }, Qt::QueuedConnection);
}

void Scanner::cancel() {
    if (!shared_->scanning)
        return;
    shared_->cancel = true;
    // Interrupts a read the worker waits in. Before the device's first bytes the worker sees the
    // request itself and cancels safely (see waitForReader).
    if (!shared_->dataSeen.load())
        return;
    QMutexLocker lock(&shared_->mutex);
    if (shared_->handle)
        sane_cancel(shared_->handle);
}

bool Scanner::scanning() const {
    return shared_->scanning;
}

} // namespace images

#include "scanner.moc"
