#include "WindowOptions.h"

#include "IntegerText.h"

namespace {

[[noreturn]] void Bad(const QString& message) {
  throw TWindowOptions::EBadOption(message.toStdString());
}

qint64 Decimal(const QString& option, const QString& text, qint64 min, qint64 max) {
  bool digits = !text.isEmpty() && text.size() <= 18;
  for (QChar c : text) digits = digits && c >= u'0' && c <= u'9';
  const qint64 value = digits ? text.toLongLong() : -1;
  if (!digits || value < min || value > max)
    Bad(QStringLiteral("%1: expected a whole number from %2 to %3, got '%4'")
            .arg(option)
            .arg(min)
            .arg(max)
            .arg(text));
  return value;
}

}  // namespace

TWindowOptions TWindowOptions::Parse(const QStringList& arguments) {
  TWindowOptions options;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    QString option = arguments[i];
    if (option == QLatin1String("--help")) {
      options.Help = true;
      continue;
    }
    // Qt's own options (-platform, -style, ...) and their values.
    if (!option.startsWith(QLatin1String("--"))) continue;
    QString value;
    const qsizetype equals = option.indexOf(u'=');
    if (option.startsWith(QLatin1String("--")) && equals > 0) {
      value = option.mid(equals + 1);
      option.truncate(equals);
    } else if (option == QLatin1String("--seed") || option == QLatin1String("--agents") ||
               option == QLatin1String("--threshold")) {
      if (i + 1 >= arguments.size()) Bad(QStringLiteral("%1: missing value").arg(option));
      value = arguments[++i];
    }
    if (option == QLatin1String("--seed")) {
      if (options.Seed) Bad(QStringLiteral("--seed given twice"));
      options.Seed = static_cast<std::uint32_t>(Decimal(option, value, 0, 4294967295LL));
    } else if (option == QLatin1String("--agents")) {
      if (options.Agents) Bad(QStringLiteral("--agents given twice"));
      options.Agents = static_cast<int>(Decimal(option, value, 1, 10000));
    } else if (option == QLatin1String("--threshold")) {
      if (options.Threshold) Bad(QStringLiteral("--threshold given twice"));
      try {
        dla::ThresholdFromText(value.toStdString());
      } catch (const dla::EConvertError&) {
        Bad(QStringLiteral("--threshold: '%1' is not a valid integer value").arg(value));
      }
      options.Threshold = value;
    } else {
      Bad(QStringLiteral("unknown option '%1' (see --help)").arg(option));
    }
  }
  return options;
}

QString TWindowOptions::Usage() {
  return QStringLiteral(
      "Usage: dla-model [--seed S] [--agents N] [--threshold T]\n"
      "\n"
      "Opens the diffusion-aggregation model in its window and runs it.\n"
      "\n"
      "  --seed S       0 to 4294967295: every setup places its agents from this\n"
      "                 seed, so a run repeats exactly, here or in dla-batch\n"
      "                 (default: a new seed from the clock at every setup)\n"
      "  --agents N     number of agents of the first setup, 1 to 10000\n"
      "                 (default 2000)\n"
      "  --threshold T  aggregation threshold, put into its edit as given and\n"
      "                 read as the edit is read (default 6)\n"
      "  --help         show this text\n"
      "\n"
      "Exit status: 0 when the window is closed, 2 for a bad command line.\n");
}
