#include "catalogue.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <utility>

#include "cp1251.h"

namespace site {
namespace {

struct Entry {
  const char* title;
  const char* description;
  int clip;
};

// Titles and descriptions in UTF-8; pages turn them into Windows-1251 and character
// references. The first entries answer the program's default search "Фантастика 720";
// "720" alone, and the empty search, give more than 51 results.
const Entry kEntries[] = {
    {"Фантастика 720p: «Звёздный патруль» – официальный трейлер",
     "Трейлер фантастического боевика о войне с пришельцами. Качество HD, звук стерео.", 0},
    {"Фантастика 720 ★ лучшие космические сцены",
     "Подборка сцен из фантастических фильмов: корабли, станции, далёкие планеты.", 2},
    {"\"Океан планеты Икс\" – фантастика 720p (отрывок)",
     "Отрывок из классического фильма о разумном океане.", 6},
    {"Фантастика: Марс атакует! 720p", "Комедийная фантастика о нашествии марсиан на Землю.", 3},
    {"Sci-Fi short “Orbit” – Фантастика 720p",
     "English short film with Russian subtitles: two astronauts lose contact with Earth.", 1},
    {"Фантастика 720p… Город будущего", "Анимационная короткометражка о городе через сто лет.", 4},
    {"Машина времени (1960) – фантастика, 720p",
     "Экранизация романа Герберта Уэллса, восстановленная копия.", 5},
    {"Фантастика 720p: «Пришелец на борту» – сцена в столовой",
     "Знаменитая сцена; не смотрите перед едой!", 7},
    {"Cosmic Voyage – Фантастика 720 HD",
     "A journey from the Earth to the edge of the universe. Научная фантастика.", 2},
    {"Звёздное небо ● таймлапс 720p", "Ночь в горах: четыре секунды вместо восьми часов.", 6},
    {"Night Sky Timelapse 720p", "Eight hours of stars over the mountains, squeezed into seconds.",
     6},
    {"Котики 720p: самые смешные моменты", "Подборка видео с котами. Осторожно, мимими!", 3},
    {"It's a cat's life – funny cats 720p", "The funniest cat videos of the week.", 3},
    {"Рецепт: борщ за 30 минут (720p)", "Готовим настоящий борщ. Пошаговый рецепт.", 1},
    {"Cooking pasta in 10 minutes 720p", "Quick Italian pasta with tomatoes and basil.", 1},
    {"Урок гитары №3: баррэ 720p", "Учимся брать баррэ без боли в пальцах.", 5},
    {"Guitar lesson #3: barre chords 720p", "How to play barre chords without pain.", 5},
    {"Футбол 720p: лучшие голы сезона", "Десять лучших голов чемпионата.", 0},
    {"Top 10 goals <2010> 720p", "The best goals of the 2010 season.", 0},
    {"Хоккей 720p – финал, последние минуты", "Драматичная концовка финального матча.", 7},
    {"Cat & mouse chase cartoon 720p", "A classic chase cartoon in the old style.", 4},
    {"Мультфильм «Ёжик и туман» 720p", "Классика мультипликации.", 4},
    {"Кулинария 720p: блины на Масленицу", "Тонкие блины с дырочками, рецепт бабушки.", 1},
    {"$100 budget film – \"Heist\" 720p", "A short crime film shot for one hundred dollars.", 7},
    {"Обзор смартфона 720p ▂▃ тест батареи", "Сколько проживёт телефон на одном заряде.", 2},
    {"Phone review 720p: battery test", "How long does the phone last?", 2},
    {"Путешествие по Байкалу 720p", "Лёд, нерпы и бесконечный горизонт.", 6},
    {"Travel: Lake Baikal in winter 720p", "Ice, seals and an endless horizon.", 6},
    {"Йога для начинающих 720p – урок 1", "Простые упражнения на каждый день.", 5},
    {"Yoga for beginners 720p – lesson 1", "Simple exercises for every day.", 5},
    {"Новости науки 720p: чёрные дыры", "Что нового узнали астрономы.", 2},
    {"Science news 720p: black holes", "What astronomers have learned this year.", 2},
    {"Рыбалка на Волге 720p", "Щука на спиннинг, утренний клёв.", 6},
    {"Fishing on the Volga 720p", "Pike on a spinning rod at dawn.", 6},
    {"Концерт 720p: фестиваль «Летний рок»", "Лучшие выступления фестиваля.", 0},
    {"Rock festival live 720p", "The best performances of the festival.", 0},
    {"Детям 720p: учим буквы", "Весёлая азбука для малышей.", 4},
    {"Kids 720p: learn the alphabet", "A cheerful ABC for toddlers.", 4},
    {"Ремонт своими руками 720p: плитка", "Как положить плитку в ванной.", 1},
    {"DIY 720p: laying tiles", "How to tile a bathroom floor.", 1},
    {"Автообзор 720p: семейный седан", "Тест-драйв и замеры разгона.", 7},
    {"Car review 720p: test drive", "Acceleration and braking tests.", 7},
    {"Шахматы 720p: дебют «Сицилианская защита»", "Разбор основных вариантов.", 5},
    {"Chess 720p: the Sicilian Defence", "The main lines explained.", 5},
    {"Фэнтези 720p: «Меч и магия» – трейлер", "Первый трейлер нового сериала.", 3},
    {"Gaming 720p: speedrun world record", "A full run in under ten minutes.", 3},
    {"Танцы 720p – хип-хоп для начинающих", "Базовые движения за один урок.", 0},
    {"Dance 720p – hip-hop basics", "Basic moves in one lesson.", 0},
    {"Математика 720p: теорема Пифагора", "Наглядное доказательство за четыре секунды.", 2},
    {"Maths 720p: Pythagoras' theorem", "A visual proof in four seconds.", 2},
    {"Природа 720p: водопады Исландии", "Шум воды и северное солнце.", 6},
    {"Nature 720p: waterfalls of Iceland", "Roaring water under the northern sun.", 6},
    {"Стендап 720p: «Про соседей»", "Юмористический монолог.", 7},
    {"Stand-up comedy 720p", "Neighbours, again.", 7},
    {"Фантастика 720p: «Пески далёкой планеты»", "Фантастический эпос, сцена с песчаным червём.",
     3},
    {"Фантастика 720 – «Железный страж 2» ● финал", "Фантастический боевик, последняя сцена.", 0},
    {"Старое кино 480p: «Броненосец Потёмкин»", "Немое кино, сцена на лестнице.", 5},
    {"Old film 480p: the Odessa steps", "A silent cinema classic.", 5},
    {"Лекция 360p: история Рима", "Запись лекции, звук с микрофона.", 1},
    {"Lecture 360p: history of Rome", "Recorded lecture, microphone sound.", 1},
    {"Клип 480p «Песня о звёздах»", "Архивная запись концерта.", 4},
    {"Music video 480p", "An archive concert recording.", 4},
    {"Фантастика (без HD): «Гостья из XXI века»", "Детский фантастический сериал, серия 1.", 2},
    {"Фантастика 480p: «Сквозь тернии»", "Фантастика о дальнем полёте, сцена на корабле.", 6},
};

uint64_t Fnv1a(std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string Hex(uint64_t value, int digits) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(value));
  return std::string(buf + 16 - digits);
}

std::string FoldCodePoints(const std::vector<char32_t>& cps) {
  std::string out;
  out.reserve(cps.size());
  for (char32_t cp : cps) {
    int b = CodePointToCp1251(cp);
    out += b < 0 ? '\x01' : static_cast<char>(FoldCp1251(static_cast<unsigned char>(b)));
  }
  return out;
}

std::vector<Video> Build() {
  std::vector<Video> all;
  int index = 0;
  for (const Entry& e : kEntries) {
    int oid = 1201 + index % 8;
    all.push_back(
        MakeVideo(index, oid, 456100 + index, 1 + (index * 5) % 9, e.clip, e.title, e.description));
    ++index;
  }
  return all;
}

bool Holds(const Video& v, const std::string& word) {
  return v.title_folded.find(word) != std::string::npos ||
         v.description_folded.find(word) != std::string::npos;
}

}  // namespace

Video MakeVideo(int index, int oid, int vid, int server, int clip, std::string title,
                std::string description) {
  Video v;
  v.index = index;
  v.oid = oid;
  v.vid = vid;
  v.uid = oid < 0 ? -oid : oid;
  v.server = server;
  v.clip = clip;
  v.seconds = 4;
  std::string id = std::to_string(oid) + "_" + std::to_string(vid);
  // Keys are derived from the ids with fixed salts, so they are stable between runs and
  // cannot be guessed from the ids without this code. Hex digits never spell "jpg".
  v.vtag = Hex(Fnv1a("vtag/zq/" + id), 10);
  v.hash2 = Hex(Fnv1a("hash2/zq/" + id), 16);
  v.title = std::move(title);
  v.description = std::move(description);
  v.title_cps = DecodeUtf8(v.title);
  v.description_cps = DecodeUtf8(v.description);
  v.title_folded = FoldCodePoints(v.title_cps);
  v.description_folded = FoldCodePoints(v.description_cps);
  return v;
}

const std::vector<Video>& Catalogue() {
  static const std::vector<Video> all = Build();
  return all;
}

const Video* FindVideo(int oid, int vid) {
  static const std::map<std::pair<int, int>, const Video*> by_id = [] {
    std::map<std::pair<int, int>, const Video*> m;
    for (const Video& v : Catalogue()) m[{v.oid, v.vid}] = &v;
    return m;
  }();
  auto it = by_id.find({oid, vid});
  return it == by_id.end() ? nullptr : it->second;
}

const Video* FindByFile(int uid, std::string_view vtag) {
  for (const Video& v : Catalogue()) {
    if (v.uid == uid && v.vtag == vtag) return &v;
  }
  return nullptr;
}

std::vector<std::string> QueryWords(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size() && words.size() < 16) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) words.push_back(FoldCp1251(text.substr(start, i - start)));
  }
  return words;
}

std::vector<const Video*> Search(const std::vector<std::string>& words) {
  std::vector<const Video*> found;
  for (const Video& v : Catalogue()) {
    bool all = true;
    for (const std::string& w : words) {
      if (!Holds(v, w)) {
        all = false;
        break;
      }
    }
    if (all) found.push_back(&v);
  }
  return found;
}

std::vector<std::pair<size_t, size_t>> MatchRanges(std::string_view folded,
                                                   const std::vector<std::string>& words) {
  std::vector<std::pair<size_t, size_t>> ranges;
  for (const std::string& w : words) {
    if (w.empty()) continue;
    for (size_t p = folded.find(w); p != std::string_view::npos; p = folded.find(w, p + 1)) {
      ranges.emplace_back(p, p + w.size());
    }
  }
  std::sort(ranges.begin(), ranges.end());
  std::vector<std::pair<size_t, size_t>> merged;
  for (const auto& r : ranges) {
    if (!merged.empty() && r.first <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, r.second);
    } else {
      merged.push_back(r);
    }
  }
  return merged;
}

}  // namespace site
