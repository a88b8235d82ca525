#include "app/desktop/locale_number.h"

#include <QDoubleValidator>
#include <cmath>

namespace ombrelo::desktop {

QLocale FieldLocale() {
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator |
                          QLocale::OmitGroupSeparator);
  return locale;
}

std::optional<double> ReadFieldNumber(const QString& text) {
  bool ok = false;
  const double value = FieldLocale().toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

QString ShowFieldNumber(double value, int minDecimals) {
  const QLocale locale = FieldLocale();
  QString text;
  for (int decimals = minDecimals; decimals <= 6; ++decimals) {
    text = locale.toString(value, 'f', decimals);
    const std::optional<double> back = ReadFieldNumber(text);
    if (back && static_cast<float>(*back) == static_cast<float>(value)) break;
  }
  return text;
}

std::optional<int> ReadFieldWholeNumber(const QString& text) {
  bool ok = false;
  const int value = FieldLocale().toInt(text.trimmed(), &ok);
  if (!ok) return std::nullopt;
  return value;
}

QString CNotation(const QString& text, bool wholeNumber) {
  if (wholeNumber) {
    const std::optional<int> value = ReadFieldWholeNumber(text);
    return value ? QString::number(*value) : QString();
  }
  const std::optional<double> value = ReadFieldNumber(text);
  return value ? QString::number(*value, 'g', 17) : QString();
}

QDoubleValidator* MakeFieldValidator(double top, QObject* parent) {
  auto* validator = new QDoubleValidator(0, top, 6, parent);
  validator->setNotation(QDoubleValidator::StandardNotation);
  validator->setLocale(FieldLocale());
  return validator;
}

}  // namespace ombrelo::desktop
