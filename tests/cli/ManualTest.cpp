// The manual page, `kaptiv --help` and `kaptiv --version` tell the truth about this build.
#include "cli/CommandLine.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace kaptiv {
namespace {

struct ProcessResult {
    int status;
    QString out, err;
};

ProcessResult run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, program + QStringLiteral(" did not finish")};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()), QString::fromLocal8Bit(process.readAllStandardError())};
}

QString simplified(const QString &line) { return line.simplified(); }

// The help's "kaptiv ..." lines with their continuation lines, each up to the short description
// that follows a run of spaces.
QStringList helpSynopses(const QString &help)
{
    QStringList synopses;
    bool inSynopsis = false;
    for (const QString &line : help.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("  kaptiv"))) {
            synopses << simplified(line.trimmed().section(QStringLiteral("  "), 0, 0));
            inSynopsis = true;
        } else if (inSynopsis && line.startsWith(QString(12, QLatin1Char(' ')))) {
            synopses.last() += QLatin1Char(' ') + simplified(line);
        } else {
            inSynopsis = false;
        }
    }
    return synopses;
}

// The lines of the rendered page's SYNOPSIS section.
QStringList manSynopses(const QString &page)
{
    const QStringList lines = page.split(QLatin1Char('\n'));
    QStringList synopses;
    for (qsizetype i = lines.indexOf(QStringLiteral("SYNOPSIS")) + 1; i > 0 && i < lines.size(); ++i) {
        if (!lines[i].isEmpty() && !lines[i].startsWith(QLatin1Char(' ')))
            break; // the next section's heading
        if (!lines[i].trimmed().isEmpty())
            synopses << simplified(lines[i]);
    }
    return synopses;
}

QStringList longOptions(const QString &text)
{
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
    QStringList options;
    for (const QRegularExpressionMatch &match : option.globalMatch(text))
        options << match.captured();
    options.sort();
    options.removeDuplicates();
    return options;
}

TEST(Manual, DescribesTheCommandsAndOptionsOfTheHelp)
{
    // Wide lines and plain characters, so every synopsis is one line of ASCII.
    const ProcessResult groff = run(QStringLiteral("groff"), {"-man", "-Tascii", "-P-cbou", "-rLL=2000n", "-ww", KAPTIV_MAN_PAGE});
    ASSERT_EQ(groff.status, 0) << groff.err.toStdString();
    EXPECT_EQ(groff.err, QString()) << "the page has mistakes in its markup";
    const QString help = QString::fromLatin1(usageText());

    const QStringList synopses = helpSynopses(help);
    ASSERT_GE(synopses.size(), 7) << help.toStdString();
    const auto lines = [](const QStringList &list) { return list.join(QLatin1Char('\n')).toStdString(); };
    EXPECT_EQ(lines(manSynopses(groff.out)), lines(synopses));
    EXPECT_EQ(lines(longOptions(groff.out)), lines(longOptions(help)));
}

TEST(Manual, VersionNamesTheCommitBuilt)
{
    const ProcessResult git = run(QStringLiteral("git"), {"-C", KAPTIV_SOURCE_DIR, "rev-parse", "--short=12", "HEAD"});
    if (git.status != 0)
        GTEST_SKIP() << "the sources are not a git checkout";
    const std::string version = versionText();
    EXPECT_TRUE(version.starts_with("kaptiv 1.0 (commit " + git.out.trimmed().toStdString())) << version;
}

} // namespace
} // namespace kaptiv
