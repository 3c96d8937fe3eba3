#include "conversion/EncodingDetection.h"

#include "conversion/TextDecoders.h"

#include <algorithm>
#include <bitset>
#include <optional>
#include <unordered_set>

namespace tolvren {

namespace {

using Kind = InputEncoding::Kind;

// The least evidence that outweighs GBK, the default (measured on generated songs: see
// bench/run_encoding_corpus.sh): bytes of well-formed UTF-8 in a file that is all UTF-8 (three
// Chinese characters), and in one with stray bytes (four); the score of a Big5 reading (common
// characters less rare ones).
constexpr std::size_t kUtf8Evidence = 9;
constexpr std::size_t kStrayUtf8Evidence = 12;
constexpr std::ptrdiff_t kBig5Evidence = 4;

// About a thousand of the most common characters of Chinese text, and the traditional forms of
// those that have one: lyrics in the right reading are made mostly of these, while the same bytes
// read in the wrong double-byte code page give rare characters, symbols and private-use code
// points.
constexpr std::string_view kCommonCharacters =
    "的一是不了人我在有他这中大来上个国到说们为子和你地出道也时年"
    "得就那要下以生会自着去之过家学对可她里后小么心多天而能好都然"
    "没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头"
    "面公同三已老从动两长知民样现分将外但身些与高意进把法此实回二"
    "理美点月明其种声全工己话儿者向情部正名定女问力机给等几很业最"
    "间新什打便位因重被走电四第门相次东政海口使教西再平真听世气信"
    "北少关并内加化由却代军产入先山五太水万市眼体别处总才场师书比"
    "住员九笑性通目华报立马命张活难神数件安表原车白应路期叫死常提"
    "感金何更反合放做系计或司利受光王果亲界及今京务制解各任至清物"
    "台象记边共风战干接它许八特觉望直服毛林题建南度统色字请交爱让"
    "认算论百吃义科怎元社术结六功指思非流每青管夫连远资队跟带花快"
    "条院变联言权往展该领传近留红治决周保达办运武半候七必城父强步"
    "完革深区即求品士转量空甚众技轻程告江语英基派满式李息写呢识极"
    "令黄德收脸钱党倒未持取设始版双历越史商千片容研像找友孩站广改"
    "议形委早房音火际则首单据导影失拿网香似斯专石若兵弟谁校读志飞"
    "观争究包组造落视济喜离虽坐集编宝谈府拉黑且随格尽剑讲布杀微怕"
    "母调局根曾准团段终乐切级克精哪官示冷域创除阿举血续待球脑约爸"
    "妈哥姐妹兄朋客吗吧啊呀哦嗯啦哈喂嘛呐咱俺您怀念忆梦泪雨云雪夜"
    "星春秋冬夏晚朝霞阳岸桥船帆浪潮湖河溪泉森树叶草木枝鸟鱼虫兽狗"
    "猫猪羊牛龙凤虎鹰蝶燕雁柳梅兰竹菊桃杏荷莲玫瑰歌曲唱舞琴笛鼓弦"
    "醉酒杯茶饭菜汤甜苦辣酸味温柔寂寞孤独遇誓诺幸福悲欢颜岁故乡伤"
    "痛哭泣恨怨愁悔惜恋吻拥抱牵挂守寻觅追逐弃忘背涯角永缘奇迹希昨"
    "午傍昏黎晨亮暗灰蓝绿紫粉银彩虹闪烁灯烟尘沙漠荒野田园村庄街巷"
    "窗户墙屋楼宫殿寺庙塔钟铃响静默沉喧闹热寒冰霜露雾暴雷晴阴凉暖"
    "敌席阶斗群块跑脚紧习阵赶睛刚送够整底刻伟忙确农古土照画嘴穿验"
    "爬睡兴冲破旁枪线坚劳围胜类渐呼答旧座章帮跳敢掉忽装顶急停句衣"
    "般压慢叔细灵魂境碎疼贝姑娘伙男妻丈爷奶婆伴朵飘零荡扬漂泊旅途"
    "恒瞬刹盼渴绝逢依珍贵予付承谅埋藏隐躲迷茫惘彷徨徘徊犹豫勇脆弱"
    "软蜜辛奈限悄淡浓久匆纷漫滚滔哗竟仍须愿需讨厌害担忧烦恼闷宁骄"
    "傲豪荣幻耳左右初束岛湾港峰谷崖坡岭丘洞穴坑井泥砂岩铁铜钢锈刀"
    "弓箭盾甲旗号硝雄汉侠皇帝廷监稷醒眠躺游摇摆晃挥弹奏吹诵闻嗅尝"
    "摸碰抓握拍敲推拖扯撕剪割削磨擦洗刷扫抹涂染這來個國說們為時會"
    "著過學對後麼沒於還發當無開見經頭從動兩長樣現將與進實點種聲話"
    "兒問機給幾業間電門東聽氣關並內卻軍產萬體別處總場師書員華報馬"
    "張難數車應計親務記邊風戰乾許覺題統請愛讓認論義術結連遠資隊帶"
    "條變聯權該領傳紅決達辦運強區轉眾輕語滿寫識極黃臉錢黨設雙歷廣"
    "議際則單據導網專誰讀飛觀爭組視濟離雖編寶談隨盡劍講殺調團終樂"
    "級創舉續腦約媽嗎餵吶懷憶夢淚雲陽橋樹葉鳥魚蟲獸貓豬龍鳳鷹蘭蓮"
    "飯湯溫獨諾歡顏歲鄉傷戀擁牽掛尋覓棄緣跡藍綠銀閃爍燈煙塵園莊戶"
    "牆樓宮廟鐘鈴響靜沈鬧熱霧陰涼敵階鬥塊腳緊習陣趕剛夠偉確農畫驗"
    "興衝槍線堅勞圍勝類漸舊幫裝頂壓細靈貝爺飄蕩揚恆剎絕貴諒隱徬猶"
    "軟濃紛滾嘩須願討厭擔憂煩惱悶寧驕榮島灣嶺鐵銅鋼鏽號漢俠監搖擺"
    "揮彈誦聞嘗掃塗";

// The pairs of a double-byte code page whose characters are common, and those that are private
// use (user-defined cells): no script means to write them.
struct PairClasses {
    std::bitset<0x10000> common;
    std::bitset<0x10000> privateUse;
};

PairClasses Classify(const DoubleByteCodePage& codePage) {
    std::unordered_set<std::string_view> common;
    for (std::size_t pos = 0; pos < kCommonCharacters.size(); pos += 3) {
        common.insert(kCommonCharacters.substr(pos, 3)); // all of them three bytes long
    }
    PairClasses classes;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            const auto l = static_cast<unsigned char>(lead);
            const auto t = static_cast<unsigned char>(trail);
            if (!DoubleByteCodePage::IsTrail(t)) {
                continue;
            }
            const std::string_view utf8 = codePage.Pair(l, t);
            // U+E000..U+F8FF is EE 80 80 .. EF A3 BF.
            const bool privateUse =
                utf8.size() == 3 && (utf8 >= "\xEE\x80\x80" && utf8 <= "\xEF\xA3\xBF");
            classes.common[lead << 8 | trail] = common.contains(utf8);
            classes.privateUse[lead << 8 | trail] = privateUse;
        }
    }
    return classes;
}

const PairClasses& GbkClasses() {
    static const PairClasses classes = Classify(DoubleByteCodePage::Gbk());
    return classes;
}

const PairClasses& Big5Classes() {
    static const PairClasses classes = Classify(DoubleByteCodePage::Big5());
    return classes;
}

// What the pairs of a script are in one double-byte reading.
struct Reading {
    std::size_t pairs = 0;
    std::size_t common = 0;
    std::size_t odd = 0; ///< unassigned or private-use pairs, and bytes that start no pair
};

Reading Read(std::string_view bytes, const DoubleByteCodePage& codePage,
             const PairClasses& classes) {
    Reading reading;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (data[pos] < 0x80) {
            ++pos;
            continue;
        }
        if (pos + 1 < bytes.size() && DoubleByteCodePage::IsLead(data[pos]) &&
            DoubleByteCodePage::IsTrail(data[pos + 1])) {
            const unsigned pair = static_cast<unsigned>(data[pos]) << 8 | data[pos + 1];
            ++reading.pairs;
            if (classes.common[pair]) {
                ++reading.common;
            } else if (classes.privateUse[pair] ||
                       codePage.Pair(data[pos], data[pos + 1]).empty()) {
                ++reading.odd;
            }
            pos += 2;
            continue;
        }
        ++reading.odd;
        ++pos;
    }
    return reading;
}

// ASCII statements saved as UTF-16 have a NUL beside every character: one side of the byte pairs
// is nearly all NUL.
void ReadNulPattern(std::string_view bytes, EncodingEvidence& evidence) {
    const std::size_t sample = std::min<std::size_t>(bytes.size(), 4096) & ~std::size_t{1};
    if (sample < 8 || bytes.substr(0, sample).find('\0') == std::string_view::npos) {
        return;
    }
    std::size_t evenNul = 0;
    std::size_t oddNul = 0;
    for (std::size_t i = 0; i < sample; i += 2) {
        evenNul += bytes[i] == '\0';
        oddNul += bytes[i + 1] == '\0';
    }
    const std::size_t pairs = sample / 2;
    // Most of a script is ASCII; a few CJK characters on the other side are fine.
    evidence.utf16Le = oddNul * 10 >= pairs * 6 && evenNul * 10 < pairs;
    evidence.utf16Be = evenNul * 10 >= pairs * 6 && oddNul * 10 < pairs;
}

void ReadTagNames(std::string_view bytes, EncodingEvidence& evidence) {
    constexpr std::string_view tagStart = "karaoke.tag('";
    struct Names {
        std::string_view title;
        std::string_view singer;
        std::size_t EncodingEvidence::*count;
    };
    static constexpr Names names[] = {
        {"\xE6\xAD\x8C\xE5\x90\x8D", "\xE6\xAD\x8C\xE6\x89\x8B", &EncodingEvidence::utf8Tags},
        {"\xBA\x71\xA6\x57", "\xBA\x71\xA4\xE2", &EncodingEvidence::big5Tags},
        {"\xB8\xE8\xC3\xFB", "\xB8\xE8\xCA\xD6", &EncodingEvidence::gbkTags},
    };
    for (std::size_t at = bytes.find(tagStart); at != std::string_view::npos;
         at = bytes.find(tagStart, at + 1)) {
        if (at > 0 && bytes[at - 1] != '\n') {
            continue; // a statement counts only where it begins a line
        }
        const std::string_view name = bytes.substr(at + tagStart.size());
        for (const Names& encoding : names) {
            if (name.starts_with(encoding.title) || name.starts_with(encoding.singer)) {
                ++(evidence.*encoding.count);
                break;
            }
        }
    }
}

// The bytes beyond ASCII, and how many of them form well-formed UTF-8.
void ReadUtf8Share(std::string_view bytes, EncodingEvidence& evidence) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        std::size_t valid = 0;
        const std::size_t length = Utf8SequenceAt(bytes, pos, &valid);
        // Every byte of a sequence, well-formed or not, is beyond ASCII.
        evidence.nonAscii += length > 0 ? length : valid;
        evidence.utf8Bytes += length;
        pos += length > 0 ? length : valid;
    }
}

// What the tag names say, when most of them say one thing.
std::optional<Kind> ByTagNames(const EncodingEvidence& evidence) {
    const std::size_t tags = evidence.utf8Tags + evidence.big5Tags + evidence.gbkTags;
    if (evidence.utf8Tags * 2 > tags) {
        return Kind::Utf8;
    }
    if (evidence.big5Tags * 2 > tags) {
        return Kind::Big5;
    }
    if (evidence.gbkTags * 2 > tags) {
        return evidence.fourByte > 0 ? Kind::Gb18030 : Kind::Gbk;
    }
    return std::nullopt;
}

// Four-byte sequences [81-FE][30-39][81-FE][30-39], counted where GBK's pairs leave off: inside a
// GBK or Big5 text a digit never follows a lead byte.
void ReadFourByteSequences(std::string_view bytes, EncodingEvidence& evidence) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto digit = [&](std::size_t at) { return data[at] >= 0x30 && data[at] <= 0x39; };
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (data[pos] < 0x81 || data[pos] == 0xFF || pos + 1 == bytes.size()) {
            ++pos;
        } else if (pos + 3 < bytes.size() && digit(pos + 1) &&
                   DoubleByteCodePage::IsLead(data[pos + 2]) && digit(pos + 3)) {
            ++evidence.fourByte;
            pos += 4;
        } else {
            pos += DoubleByteCodePage::IsTrail(data[pos + 1]) ? 2 : 1;
        }
    }
}

} // namespace

EncodingEvidence GatherEvidence(std::string_view bytes) {
    EncodingEvidence evidence;
    ReadNulPattern(bytes, evidence);
    if (evidence.utf16Le || evidence.utf16Be) {
        return evidence;
    }
    ReadTagNames(bytes, evidence);
    if (ByTagNames(evidence)) {
        return evidence;
    }
    ReadUtf8Share(bytes, evidence);
    if (evidence.nonAscii == 0 || evidence.utf8Bytes == evidence.nonAscii) {
        return evidence;
    }
    ReadFourByteSequences(bytes, evidence);
    if (evidence.fourByte == 0) {
        const Reading gbk = Read(bytes, DoubleByteCodePage::Gbk(), GbkClasses());
        const Reading big5 = Read(bytes, DoubleByteCodePage::Big5(), Big5Classes());
        evidence.gbkPairs = gbk.pairs;
        evidence.gbkCommon = gbk.common;
        evidence.gbkOdd = gbk.odd;
        evidence.big5Pairs = big5.pairs;
        evidence.big5Common = big5.common;
        evidence.big5Odd = big5.odd;
    }
    return evidence;
}

InputEncoding::Kind DecideEncoding(const EncodingEvidence& evidence) {
    if (evidence.utf16Le) {
        return Kind::Utf16Le;
    }
    if (evidence.utf16Be) {
        return Kind::Utf16Be;
    }
    if (const std::optional<Kind> named = ByTagNames(evidence)) {
        return *named;
    }
    if (evidence.nonAscii == 0) {
        return Kind::Gbk; // plain ASCII reads the same in all of them
    }
    // UTF-8, or UTF-8 but for a few stray bytes. A GBK text forms UTF-8 only here and there, and
    // the odd short one throughout (two characters in seven do), so a few characters are no
    // evidence.
    const std::size_t stray = evidence.nonAscii - evidence.utf8Bytes;
    if ((stray == 0 && evidence.utf8Bytes >= kUtf8Evidence) ||
        (stray * 10 <= evidence.nonAscii && evidence.utf8Bytes >= kStrayUtf8Evidence)) {
        return Kind::Utf8;
    }
    if (evidence.fourByte > 0) {
        return Kind::Gb18030;
    }
    // Lyrics that read as common characters in Big5 and as rare ones in GBK. On real text the
    // wrong reading scores at most a third of the right one.
    const auto score = [](std::size_t common, std::size_t odd) {
        return static_cast<std::ptrdiff_t>(common) - static_cast<std::ptrdiff_t>(odd);
    };
    const std::ptrdiff_t big5 = score(evidence.big5Common, evidence.big5Odd);
    const std::ptrdiff_t gbk = score(evidence.gbkCommon, evidence.gbkOdd);
    if (big5 >= kBig5Evidence && big5 >= 2 * std::max<std::ptrdiff_t>(gbk, 0) + 2) {
        return Kind::Big5;
    }
    return Kind::Gbk;
}

InputEncoding::Kind DetectEncoding(std::string_view bytes) {
    EncodingEvidence evidence = GatherEvidence(bytes);
    if (evidence.gbkTags > 0 && evidence.fourByte == 0) {
        ReadFourByteSequences(bytes, evidence); // GBK tag names leave it to them
    }
    return DecideEncoding(evidence);
}

} // namespace tolvren
