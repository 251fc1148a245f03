#pragma once
// What the chat shows of its own in the panes and the About box, in both
// interface languages (UTF-8).
#include "text/shown_text.h"

namespace window::texts {

using text::ShownText;

inline constexpr ShownText kStartProblems{"Если у Вас проблемы с запуском, добро пожаловать в <b>",
                                          "If you have problems starting, welcome to the <b>"};
inline constexpr ShownText kOr{"</b> или <b>", "</b> or <b>"};
inline constexpr ShownText kVersionEnd{"</b> версию.", "</b> version."};
inline constexpr ShownText kAboutClient{"Exe-клиент для чата на ", "Exe client for the chat on "};
inline constexpr ShownText kAboutVersion{"версия ", "version "};
inline constexpr ShownText kAboutBuild{", сборка ", ", build "};
inline constexpr ShownText kAboutWhat{"Chat browser и chatd: клиент и сервер для одной машины.<br>",
                                      "Chat browser and chatd: client and server for one machine.<br>"};
inline constexpr ShownText kAboutQuestions{"Вопросы и замечания: ", "Questions and remarks: "};
inline constexpr ShownText kAboutNewVersion{"Новая версия: ", "New version: "};

inline constexpr ShownText kAll[] = {kStartProblems, kOr,          kVersionEnd,     kAboutClient,
                                     kAboutVersion,  kAboutBuild,  kAboutWhat,      kAboutQuestions,
                                     kAboutNewVersion};

}  // namespace window::texts
