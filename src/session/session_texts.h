#pragma once
// What the connection, the dispatcher and the service replies show in the
// panes and information windows, in both interface languages (UTF-8).
#include "text/shown_text.h"

namespace session::texts {

using text::ShownText;

inline constexpr ShownText kConnectingAs{"Подключаемся как ", "Connecting as "};
inline constexpr ShownText kConnected{" успешно...", " successfully..."};
inline constexpr ShownText kDisconnected{"Соединение разорвано ", "Connection closed "};
inline constexpr ShownText kBlackListed{"</b> --------------- черный список ---------------",
                                        "</b> --------------- black list ---------------"};
inline constexpr ShownText kSentTo{"(Послано для ", "(Sent to "};
inline constexpr ShownText kInformationAbout{"Информация о <b>", "Information about <b>"};
inline constexpr ShownText kPhoto{"Фото ", "Photo "};
inline constexpr ShownText kDeletePhoto{"Удалить", "Delete"};
inline constexpr ShownText kAddPhoto{"Добавить фото", "Add photo"};
inline constexpr ShownText kFinesHeading{"<nobr><b>Информация о штрафах</nobr><br><br><fsize=9><nobr>Имя",
                                         "<nobr><b>Fines information</nobr><br><br><fsize=9><nobr>Name"};
inline constexpr ShownText kFineAddress{"Адрес", "Address"};
inline constexpr ShownText kFinePeriod{"Период", "Period"};
inline constexpr ShownText kFineType{"Тип", "Type"};
inline constexpr ShownText kFineIpTest{"IP тест</b></nobr><br><fsize=8>", "IP test</b></nobr><br><fsize=8>"};
inline constexpr ShownText kFineTypes[5] = {{"Не пускать на сервер", "No server access"},
                                            {"Чтение архивов", "Reading of archives"},
                                            {"Чтение всего", "Reading of all"},
                                            {"Только приват", "Only private"},
                                            {"Неизвестно", "Unknown"}};

inline constexpr ShownText kAll[] = {kConnectingAs, kConnected,    kDisconnected, kBlackListed, kSentTo,
                                     kInformationAbout, kPhoto,    kDeletePhoto,  kAddPhoto,    kFinesHeading,
                                     kFineAddress,  kFinePeriod,   kFineType,     kFineIpTest,  kFineTypes[0],
                                     kFineTypes[1], kFineTypes[2], kFineTypes[3], kFineTypes[4]};

}  // namespace session::texts
