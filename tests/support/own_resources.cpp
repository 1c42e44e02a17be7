#include "support/own_resources.h"

namespace qb::support {

sim::ModuleImage OwnResources() {
  sim::ModuleImage image;
  image.strings[65171] =
      u"Операция не может быть успешно выполненна в данный момент.\r\n"
      u"Для выполнения операции менеджер событий должен быть открыт в режиме \"%s\"";
  image.strings[65172] = u"Не задана функция обратного вызова.";
  image.strings[65173] =
      u"Для выполнения операций в режиме osNotify, используйте методы "
      u"RegisterChangeNotify/DeRegisterChangeNotify.";
  image.strings[65174] =
      u"Для выполнения повторной регистрации на событие оповещения, необходимо снять "
      u"предыдущую регистрацию при помощи DeRegisterChangeNotify.";
  image.strings[65175] = u"Ошибка потока ожидания оповещений. Код ошибки %d, описание \"%s\"";
  image.strings[65176] = u"Ошибка преобразования типов";
  image.strings[65168] = u"EventMessageFile";
  image.strings[65199] = u"CategoryMessageFile";
  image.strings[65169] = u"CategoryCount";
  image.strings[65170] = u"TypesSupported";
  image.messages[0] = u"%1\r\n";
  image.messages[1] = u"Default\r\n";
  return image;
}

}  // namespace qb::support
