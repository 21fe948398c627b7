#include "support/FakeImaging.h"

#include "platform/CreateObject.h"
#include "support/FakeAutomationObject.h"

#include "link/Sexagesimal.h"

#include <QFile>

namespace {

class ImagingObject : public FakeObject
{
public:
    ImagingObject(const QString &name, const std::shared_ptr<FakeImaging> &imaging)
        : FakeObject(name, imaging->sky), imaging(imaging)
    {
    }

protected:
    // Settings the program only writes.
    void settable(const QString &member)
    {
        let(member, [](const Variant &) {});
    }
    void startExposure()
    {
        imaging->pollsLeft = imaging->notDonePolls;
        if (imaging->onExposure)
            imaging->onExposure();
    }
    bool exposureDone()
    {
        if (imaging->pollsLeft < 0)
            return false;
        if (imaging->pollsLeft == 0)
            return true;
        --imaging->pollsLeft;
        return false;
    }
    void write(const QString &file)
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            throw VbError(75, QStringLiteral("Path/File access error"));
        out.write("SIMPLE  = T");
        imaging->savedFiles << file;
    }

    std::shared_ptr<FakeImaging> imaging;
};

class FakeCCDSoftCamera : public ImagingObject
{
public:
    explicit FakeCCDSoftCamera(const std::shared_ptr<FakeImaging> &i) : ImagingObject(QStringLiteral("Camera"), i)
    {
        for (const char *m : {"Asynchronous", "exposureTime", "AutoContrast", "BinX", "BinY"})
            settable(QString::fromLatin1(m));
        method(QStringLiteral("Connect"), [] {});
        method(QStringLiteral("TakeImage"), [this] { startExposure(); });
        method(QStringLiteral("Abort"), [] {});
        get(QStringLiteral("IsExposureComplete"), [this] { return exposureDone() ? imaging->ccdsoftDone : Variant(int32_t(0)); });
    }
};

class FakeMaxImCamera : public ImagingObject
{
public:
    explicit FakeMaxImCamera(const std::shared_ptr<FakeImaging> &i) : ImagingObject(QStringLiteral("Camera"), i)
    {
        for (const char *m : {"disableautoshutdown", "linkenabled", "BinX", "BinY", "AutoDownload"})
            settable(QString::fromLatin1(m));
        get(QStringLiteral("Cameraxsize"), [this] { return imaging->cameraXSize; });
        get(QStringLiteral("Cameraysize"), [this] { return imaging->cameraYSize; });
        method(QStringLiteral("Expose"), [this](double, int16_t) { startExposure(); });
        get(QStringLiteral("ImageReady"), [this] { return exposureDone(); });
        method(QStringLiteral("Abortexposure"), [] {});
        method(QStringLiteral("SaveImage"), [this](const QString &file) { write(file); });
    }
};

class FakeCCDSoftImage : public ImagingObject
{
public:
    explicit FakeCCDSoftImage(const std::shared_ptr<FakeImaging> &i) : ImagingObject(QStringLiteral("Image"), i)
    {
        for (const char *m : {"DetachOnClose", "ScaleInArcsecondsPerPixel"})
            settable(QString::fromLatin1(m));
        let(QStringLiteral("Path"), [this](const QString &p) { imaging->path = p; });
        for (const char *m : {"AttachToActiveImager", "Open", "SetActive", "Close", "InsertWCS"})
            method(QString::fromLatin1(m), [] {});
        method(QStringLiteral("Save"), [this] { write(imaging->path); });
        method(QStringLiteral("AutoContrast"), [](int16_t, int16_t, int16_t) {});
        let(QStringLiteral("FITSKeyword"), [this](const QString &keyword, const QString &value) {
            imaging->fitsKeywords << keyword + QLatin1Char('=') + value;
        });
        get(QStringLiteral("FITSKeyword"), [this](const QString &keyword) {
            const std::optional<QString> value = FakeImaging::HeaderValue(imaging->path, keyword);
            if (!value)
                throw VbError(1000, QStringLiteral("Keyword not found"));
            return *value;
        });
        get(QStringLiteral("Width"), [this] { return imaging->width; });
        get(QStringLiteral("Height"), [this] { return imaging->height; });
        method(QStringLiteral("XYToRADec"), [this](double, double) {
            return Variant(VariantArray{imaging->centreRa, imaging->centreDec});
        });
    }
};

class FakePinPointPlate : public ImagingObject
{
public:
    explicit FakePinPointPlate(const std::shared_ptr<FakeImaging> &i) : ImagingObject(QStringLiteral("Plate"), i)
    {
        method(QStringLiteral("AttachFITS"), [this](const QString &file) {
            if (const auto ra = FakeImaging::HeaderValue(file, QStringLiteral("OBJCTRA"))) {
                QString text = *ra;
                targetRa = ParseSexagesimal(text);
            }
            if (const auto dec = FakeImaging::HeaderValue(file, QStringLiteral("OBJCTDEC"))) {
                QString text = *dec;
                targetDec = ParseSexagesimal(text);
            }
            if (const auto name = FakeImaging::HeaderValue(file, QStringLiteral("OBJECT")))
                imaging->targetName = *name;
            if (const auto bin = FakeImaging::HeaderValue(file, QStringLiteral("XBINNING")))
                imaging->binning = int16_t(bin->toInt());
        });
        method(QStringLiteral("UpdateFITS"), [] {});
        get(QStringLiteral("TargetName"), [this] { return imaging->targetName; });
        get(QStringLiteral("BinningHoriz"), [this] { return imaging->binning; });
        get(QStringLiteral("Columns"), [this] { return imaging->columns; });
        get(QStringLiteral("RollAngle"), [this] { return imaging->rollAngle; });
        for (const char *m : {"CatalogPath", "Catalog", "CatalogExpansion"})
            settable(QString::fromLatin1(m));
        value(QStringLiteral("ArcsecPerPixelHoriz"), horiz);
        value(QStringLiteral("ArcsecPerPixelVert"), vert);
        value(QStringLiteral("TargetRightAscension"), targetRa);
        value(QStringLiteral("TargetDeclination"), targetDec);
        value(QStringLiteral("RightAscension"), ra);
        value(QStringLiteral("Declination"), dec);
        method(QStringLiteral("Solve"), [this] {
            bool solved = imaging->solveAfter;
            if (!imaging->solves.empty()) {
                solved = imaging->solves.front();
                imaging->solves.pop_front();
            }
            if (!solved)
                throw VbError(1000, QStringLiteral("No matching stars found"));
            ra = imaging->solvedRa;
            dec = imaging->solvedDec;
            horiz = imaging->solvedHoriz;
            vert = imaging->solvedVert;
        });
    }

private:
    void value(const QString &member, double &field)
    {
        get(member, [&field] { return field; });
        let(member, [&field](double v) { field = v; });
    }
    double horiz = 0, vert = 0, targetRa = 0, targetDec = 0, ra = 0, dec = 0;
};

template <typename T> DispatchFactory factory(const QString &progId, const std::shared_ptr<FakeImaging> &imaging)
{
    return [progId, weak = std::weak_ptr<FakeImaging>(imaging)]() -> std::shared_ptr<Dispatch> {
        const auto i = weak.lock();
        if (!i)
            throw FakeTheSky::CantCreate();
        i->sky->enter(QStringLiteral("CreateObject(%1)").arg(progId), QString());
        if (i->onCreation)
            i->onCreation(progId);
        const auto failure = i->sky->creationFailures.constFind(progId.toCaseFolded());
        if (failure != i->sky->creationFailures.constEnd())
            throw *failure;
        return std::make_shared<T>(i);
    };
}

const QStringList &progIds()
{
    static const QStringList ids{QStringLiteral("CCDSOFT.Camera"), QStringLiteral("MaxIm.CCDCamera"),
                                 QStringLiteral("CCDSoft.Image"), QStringLiteral("PinPoint.Plate")};
    return ids;
}

} // namespace

std::shared_ptr<FakeImaging> FakeImaging::Install(const std::shared_ptr<FakeTheSky> &sky)
{
    auto imaging = std::make_shared<FakeImaging>();
    imaging->sky = sky;
    const QStringList &ids = progIds();
    RegisterInProcessClass(ids[0], factory<FakeCCDSoftCamera>(ids[0], imaging));
    RegisterInProcessClass(ids[1], factory<FakeMaxImCamera>(ids[1], imaging));
    RegisterInProcessClass(ids[2], factory<FakeCCDSoftImage>(ids[2], imaging));
    RegisterInProcessClass(ids[3], factory<FakePinPointPlate>(ids[3], imaging));
    return imaging;
}

void FakeImaging::Uninstall()
{
    for (const QString &id : progIds())
        RegisterInProcessClass(id, []() -> std::shared_ptr<Dispatch> { throw FakeTheSky::CantCreate(); });
}

void FakeImaging::WriteFits(const QString &file, const QStringList &cards)
{
    QByteArray header;
    for (QString card : cards + QStringList{QStringLiteral("END")}) {
        // "KEY = value" as an 80-character card: the key in 8 columns, "= " in 9 and 10.
        const int eq = card.indexOf(QLatin1Char('='));
        if (eq > 0)
            card = card.left(eq).trimmed().leftJustified(8) + QStringLiteral("= ") + card.mid(eq + 1).trimmed();
        header += card.toLatin1().leftJustified(80, ' ', true);
    }
    header = header.leftJustified(int((header.size() + 2879) / 2880 * 2880), ' ');
    QFile out(file);
    if (out.open(QIODevice::WriteOnly))
        out.write(header);
}

std::optional<QString> FakeImaging::HeaderValue(const QString &file, const QString &keyword)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (;;) {
        const QByteArray block = in.read(2880);
        if (block.size() < 2880)
            return std::nullopt;
        for (int at = 0; at < 2880; at += 80) {
            const QString card = QString::fromLatin1(block.mid(at, 80));
            const QString key = card.left(8).trimmed();
            if (key == u"END")
                return std::nullopt;
            if (key.compare(keyword, Qt::CaseInsensitive) != 0 || card.mid(8, 2) != u"= ")
                continue;
            QString value = card.mid(10);
            if (value.trimmed().startsWith(QLatin1Char('\''))) {
                value = value.trimmed().mid(1);
                return value.left(value.indexOf(QLatin1Char('\''))).trimmed();
            }
            const int slash = value.indexOf(QLatin1Char('/'));
            return (slash < 0 ? value : value.left(slash)).trimmed();
        }
    }
}
