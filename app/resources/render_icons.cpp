// Renders the program's pictures from the SVG sources named in a manifest and
// writes the resource collection file that lists them.
//   render_icons <manifest> <svg dir> <output dir>
// Writes <output dir>/UI/<path> for every manifest line and <output dir>/ui.qrc.

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTextStream>
#include <QTransform>

namespace {

bool fail(const QString& message)
{
    std::fprintf(stderr, "render_icons: %s\n", qPrintable(message));
    return false;
}

bool renderOne(const QString& line, int lineNumber, const QDir& svgDir, const QDir& outDir, QStringList& written)
{
    const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const QString where = QStringLiteral("line %1: ").arg(lineNumber);
    if (fields.size() < 3) return fail(where + QStringLiteral("expected <path> <source> <width>x<height>"));
    const QString target = fields[0];
    const QStringList size = fields[2].split(QLatin1Char('x'));
    bool wOk = false, hOk = false;
    const int width = size.value(0).toInt(&wOk);
    const int height = size.value(1).toInt(&hOk);
    if (size.size() != 2 || !wOk || !hOk || width <= 0 || height <= 0 || width > 4096 || height > 4096)
        return fail(where + QStringLiteral("bad size ") + fields[2]);

    QFile source(svgDir.filePath(fields[1]));
    if (!source.open(QIODevice::ReadOnly)) return fail(where + QStringLiteral("cannot read ") + source.fileName());
    QString svg = QString::fromUtf8(source.readAll());
    int rotate = 0;
    for (int i = 3; i < fields.size(); ++i) {
        const int eq = fields[i].indexOf(QLatin1Char('='));
        if (eq <= 0) return fail(where + QStringLiteral("expected name=value, got ") + fields[i]);
        const QString name = fields[i].left(eq);
        const QString value = fields[i].mid(eq + 1);
        if (name == QLatin1String("rotate")) {
            rotate = value.toInt();
            continue;
        }
        svg.replace(QLatin1Char('{') + name + QLatin1Char('}'), value);
    }
    const QRegularExpressionMatch left = QRegularExpression(QStringLiteral("\\{[a-z_]+\\}")).match(svg);
    if (left.hasMatch()) return fail(where + QStringLiteral("no value for ") + left.captured(0));

    QSvgRenderer renderer(svg.toUtf8());
    if (!renderer.isValid()) return fail(where + QStringLiteral("invalid SVG from ") + fields[1]);
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        renderer.render(&painter);
    }
    if (rotate % 360 != 0) image = image.transformed(QTransform().rotate(rotate), Qt::SmoothTransformation);

    const QString path = outDir.filePath(QStringLiteral("UI/") + target);
    QDir().mkpath(QFileInfo(path).path());
    if (!image.save(path, "PNG")) return fail(where + QStringLiteral("cannot write ") + path);
    written.append(QStringLiteral("UI/") + target);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv); // fonts for the pictures with words
    if (argc != 4) {
        std::fprintf(stderr, "usage: render_icons <manifest> <svg dir> <output dir>\n");
        return 2;
    }
    QFile manifest(QString::fromLocal8Bit(argv[1]));
    if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text)) {
        fail(QStringLiteral("cannot read ") + manifest.fileName());
        return 1;
    }
    const QDir svgDir(QString::fromLocal8Bit(argv[2]));
    const QDir outDir(QString::fromLocal8Bit(argv[3]));
    QDir().mkpath(outDir.path());

    QStringList written;
    int lineNumber = 0;
    QTextStream in(&manifest);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (!renderOne(line, lineNumber, svgDir, outDir, written)) return 1;
    }

    QFile qrc(outDir.filePath(QStringLiteral("ui.qrc")));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        fail(QStringLiteral("cannot write ") + qrc.fileName());
        return 1;
    }
    QTextStream out(&qrc);
    out << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    for (const QString& file : written) out << "  <file>" << file << "</file>\n";
    out << "</qresource>\n</RCC>\n";
    return 0;
}
