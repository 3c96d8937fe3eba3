// The documents tolvren-cli writes, read back by readers nobody here wrote: TTML by the parser
// of the Apple-Music-like lyric players (@applemusic-like-lyrics/lyric, over @xmldom/xmldom) and
// by a strict XML parser (saxes), SRT by srt-parser-2, LRC by lrc-kit. Each reader must find
// every line the script has, at the times its statements give, moved as the options ask: the
// scripts are read here once more, on their own, so that nothing of Tolvren's reading is taken
// on trust.
//   node check.mjs READER TOLVREN_CLI MAKE_CORPUS SOURCE_DIR
// READER: ttml, xml, srt, lrc.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { DOMParser } from '@xmldom/xmldom';
import { parseTTML } from '@applemusic-like-lyrics/lyric';
import { SaxesParser } from 'saxes';
import SrtParser from 'srt-parser-2';
import { Lrc } from 'lrc-kit';

globalThis.DOMParser = DOMParser; // what the lyric parser asks of a browser

const [reader, cli, makeCorpus, sourceDir] = process.argv.slice(2);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tolvren-readers-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

// The songs: the example songs, worked examples with odd timing and text, a generated corpus.
const songs = path.join(work, 'songs');
fs.mkdirSync(songs);
const made = spawnSync(makeCorpus, [path.join(songs, 'corpus'), '40', '5', '28']);
if (made.status !== 0) throw new Error(`make_corpus failed: ${made.stderr}`);
const scriptsUnder = (dir) =>
  fs.readdirSync(dir, { recursive: true }).filter((n) => n.endsWith('.ksc')).map((n) => path.join(dir, n));
const examples = ['timing', 'escaping', 'shift', 'tag-values', 'song-gbk', 'japanese'];
for (const script of [
  ...scriptsUnder(path.join(sourceDir, 'examples')),
  ...examples.map((name) => path.join(sourceDir, 'tests/data/examples', `${name}.ksc`)),
]) {
  fs.copyFileSync(script, path.join(songs, path.basename(script)));
}
const scripts = scriptsUnder(songs);

// --- The scripts, read once more: each lyric statement's times, text and units. -------------

const blank = /^[ \t\u00a0\u3000]*$/;
const forbidden = /[\u0000-\u0008\u000b\u000c\u000e-\u001f\ufffe\uffff]/g; // what XML 1.0 cannot hold

function parseTime(text) {
  const m = /^(\d{1,12}):(\d{1,12})(?::(\d{1,12}))?(?:\.(\d{1,12}))?$/.exec(text.trim());
  if (!m) return null;
  const seconds = m[3] === undefined ? +m[1] * 60 + +m[2] : (+m[1] * 60 + +m[2]) * 60 + +m[3];
  return seconds * 1000 + +`${m[4] ?? ''}000`.slice(0, 3);
}

// A field runs from an apostrophe to the next apostrophe that a comma follows; the fourth to
// the next apostrophe.
function fields(line) {
  const result = [];
  let at = 0;
  for (let k = 0; k < 4; ++k) {
    const open = line.indexOf("'", at);
    const close = open < 0 ? -1 : line.indexOf(k < 3 ? "'," : "'", open + 1);
    if (close < 0) return null;
    result.push(line.slice(open + 1, close));
    at = close + 2;
  }
  return result;
}

function units(text) {
  const result = [];
  const chars = [...text];
  for (let i = 0; i < chars.length; ++i) {
    const close = chars[i] === '[' ? chars.indexOf(']', i + 1) : -1;
    if (close > 0) {
      result.push(chars.slice(i + 1, close).join(''));
      i = close;
    } else {
      result.push(chars[i]);
    }
  }
  return result;
}

// The lines of a script as a document shows them, every time moved by `shift` (and by the
// script's offset when `applyOffset`) and stopped at 0.
function readScript(file, { shift = 0, applyOffset = false } = {}) {
  const bytes = fs.readFileSync(file);
  const text =
    bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf
      ? new TextDecoder('utf-8').decode(bytes.subarray(3))
      : new TextDecoder('gbk').decode(bytes);
  const statements = text.split('\n').map((line) => line.replace(/\r$/, ''));
  const offsets = statements.filter((l) => l.startsWith('karaoke.TimeOffset'));
  const offset = offsets.length ? offsets.at(-1).slice(offsets.at(-1).lastIndexOf('=') + 1, offsets.at(-1).lastIndexOf(';')).trim() : '';
  const moved = shift - (applyOffset && /^[+-]?\d{1,12}$/.test(offset) ? +offset : 0);
  const move = (ms) => Math.max(0, ms + moved);
  const lines = [];
  for (const statement of statements.filter((l) => l.startsWith("karaoke.add('"))) {
    const f = fields(statement);
    const start = f && parseTime(f[0]);
    const end = f && parseTime(f[1]);
    if (start === null || end === null) continue;
    const pieces = units(f[2].replaceAll("''", "'"));
    const durations = f[3].split(',').map((d) => d.trim());
    const timed = pieces.length > 0 && durations.length === pieces.length && durations.every((d) => /^\d{1,12}$/.test(d));
    let at = start;
    const sung = timed
      ? pieces.map((unit, k) => ({ text: unit, start: move(at), end: move((at += +durations[k])) }))
      : [];
    const line = { text: pieces.join(''), start: move(start), end: move(end), units: sung };
    line.sungEnd = Math.max(line.start, line.end, ...sung.map((u) => u.end));
    lines.push(line);
  }
  return { lines, offset };
}

// --- The checks ------------------------------------------------------------------------------

let failures = 0;
function expect(condition, what) {
  if (!condition) {
    if (++failures <= 20) console.error(`FAIL: ${what}`);
  }
}

function convert(options) {
  const out = path.join(work, `out-${options.join('')}`);
  const run = spawnSync(cli, ['-q', '--no-warnings', ...options, songs, out], { encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`tolvren-cli ${options.join(' ')}: ${run.stderr}`);
  return out;
}

// Every document of a run (one flat folder), with the script it came from read as the run's
// options say.
function documents(options, extension, timing) {
  const out = convert(options);
  return scripts.map((script) => ({
    name: path.basename(script),
    text: fs.readFileSync(path.join(out, path.basename(script).replace(/ksc$/, extension)), 'utf8'),
    script: readScript(script, timing),
  }));
}

const words = (text) => text.replace(forbidden, '').replace(/\s+/g, ' ').trim();

function checkTtml(doc) {
  const shown = doc.script.lines.filter((l) => !blank.test(l.text.replace(forbidden, '')));
  const ttml = parseTTML(doc.text);
  expect(ttml.lines.length === shown.length, `${doc.name}: ${ttml.lines.length} lines read, ${shown.length} in the script`);
  shown.forEach((line, i) => {
    const read = ttml.lines[i];
    if (!read) return;
    const where = `${doc.name} line ${i + 1}`;
    expect(read.startTime === line.start && read.endTime === line.sungEnd,
      `${where}: read ${read.startTime}-${read.endTime}, the script says ${line.start}-${line.sungEnd}`);
    const expected = line.units.length
      ? line.units.filter((u) => words(u.text) !== '')
      : [{ text: line.text, start: line.start, end: line.sungEnd }];
    expect(read.words.length === expected.length, `${where}: ${read.words.length} words read, ${expected.length} sung`);
    expected.forEach((unit, k) => {
      const word = read.words[k];
      expect(word && word.word.trim() === words(unit.text) && word.startTime === unit.start && word.endTime === unit.end,
        `${where} word ${k + 1}: read ${JSON.stringify(word)}, sung ${JSON.stringify(unit)}`);
    });
  });
}

// Well-formed, and every name in the namespace the players look it up in.
function checkXml(doc) {
  const namespaces = {
    tt: 'http://www.w3.org/ns/ttml', ttm: 'http://www.w3.org/ns/ttml#metadata',
    itunes: 'http://music.apple.com/lyric-ttml-internal', xml: 'http://www.w3.org/XML/1998/namespace',
  };
  const parser = new SaxesParser({ xmlns: true });
  let root = null;
  let paragraphs = 0;
  parser.on('error', (error) => expect(false, `${doc.name}: ${error.message}`));
  parser.on('opentag', (tag) => {
    root ??= tag;
    expect(Object.values(namespaces).includes(tag.uri), `${doc.name}: <${tag.name}> in no namespace of TTML`);
    for (const attribute of Object.values(tag.attributes)) {
      expect(attribute.prefix === '' || attribute.prefix === 'xmlns' || attribute.uri === namespaces[attribute.prefix],
        `${doc.name}: attribute ${attribute.name} in no namespace`);
    }
    if (tag.local === 'p') {
      ++paragraphs;
      expect(tag.attributes['itunes:key']?.uri === namespaces.itunes && tag.attributes['itunes:key'].value === `L${paragraphs}`,
        `${doc.name}: paragraph ${paragraphs} keyed ${tag.attributes['itunes:key']?.value}`);
    }
  });
  parser.write(doc.text).close();
  expect(root?.uri === namespaces.tt && root.local === 'tt', `${doc.name}: the root is no TTML <tt>`);
  expect(/^(zh-Hans|zh-Hant|ja|ko|en|und)$/.test(root?.attributes['xml:lang']?.value), `${doc.name}: xml:lang`);
  expect(root?.attributes['itunes:timing']?.value === 'Word', `${doc.name}: itunes:timing`);
}

function checkSrt(doc) {
  const shown = doc.script.lines
    .map((l) => ({ ...l, text: l.text.replace(/[\u0000-\u001f\u007f-\u009f]/g, ' ').replace(/^[ \t\u00a0\u3000]+|[ \t\u00a0\u3000]+$/g, '') }))
    .filter((l) => l.text !== '');
  const cues = new SrtParser().fromSrt(doc.text);
  expect(cues.length === shown.length, `${doc.name}: ${cues.length} cues read, ${shown.length} lines in the script`);
  const ms = (time) => { const [h, m, s] = time.split(':'); return Math.round(((+h * 60 + +m) * 60 + +s.replace(',', '.')) * 1000); };
  shown.forEach((line, i) => {
    const cue = cues[i];
    // Line by line, as SRT is: until the line's own end, whatever its units' durations say.
    const end = Math.max(line.start, line.end);
    expect(cue && cue.id === String(i + 1) && ms(cue.startTime) === line.start && ms(cue.endTime) === end && cue.text === line.text,
      `${doc.name} cue ${i + 1}: read ${JSON.stringify(cue)}, the script says ${JSON.stringify(line)}`);
  });
}

// Plain LRC line by line; enhanced LRC to the millisecond, word by word. Enhanced LRC has no
// escape for a '<' or '[' in a lyric, which a word parser takes for the start of a tag, and
// lrc-kit reads no word tags on a line at 0:00 (it takes its time for none): those lines are
// compared by their times alone. Its words are those that are not blank.
function checkLrc(doc, { enhanced, digits }) {
  const lrc = Lrc.parse(doc.text, { enhanced });
  const lines = doc.script.lines;
  const at = (ms) => (digits === 3 ? ms / 1000 : Math.floor((ms + 5) / 10) / 100);
  expect(lrc.lyrics.length === lines.length, `${doc.name}: ${lrc.lyrics.length} lines read, ${lines.length} in the script`);
  lines.forEach((line, i) => {
    const read = lrc.lyrics[i];
    const where = `${doc.name} line ${i + 1}`;
    expect(read && Math.abs(read.timestamp - at(line.start)) < 1e-6, `${where}: read at ${read?.timestamp}, the script says ${at(line.start)}`);
    if (!enhanced) {
      expect(words(read?.content ?? '') === words(line.text), `${where}: read '${read?.content}', the script says '${line.text}'`);
    } else if (read && line.units.length && !/[<[]/.test(line.text) && line.start !== 0) {
      const sung = line.units.filter((u) => u.text.trim() !== '');
      expect(read.wordTimestamps.length === sung.length && sung.every((u, k) => Math.abs(read.wordTimestamps[k].timestamp - at(u.start)) < 1e-6),
        `${where}: words read at ${read.wordTimestamps.map((w) => w.timestamp)}, sung at ${sung.map((u) => at(u.start))}`);
    }
  });
  expect((lrc.info.offset !== undefined) === (doc.script.offset !== '' && !doc.applyOffset), `${doc.name}: [offset:] tag`);
}

const runs = {
  ttml: [[['-f', 'ttml'], {}], [['-f', 'ttml', '--shift', '-20000', '--apply-offset'], { shift: -20000, applyOffset: true }]],
  xml: [[['-f', 'ttml'], {}]],
  srt: [[['-f', 'srt'], {}], [['-f', 'srt', '--shift=-12500', '--apply-offset'], { shift: -12500, applyOffset: true }]],
  lrc: [
    [['-f', 'lrc', '--lrc-style', 'plain'], {}],
    [['-f', 'lrc', '--lrc-style', 'plain', '--lrc-precision', '3', '--shift', '1500', '--apply-offset'], { shift: 1500, applyOffset: true }],
    [['-f', 'lrc', '--lrc-precision', '3', '--shift', '-16000'], { shift: -16000 }],
  ],
};
const extension = { ttml: 'ttml', xml: 'ttml', srt: 'srt', lrc: 'lrc' }[reader];
let count = 0;
for (const [options, timing] of runs[reader] ?? []) {
  for (const doc of documents(options, extension, timing)) {
    doc.applyOffset = timing.applyOffset ?? false;
    ({ ttml: checkTtml, xml: checkXml, srt: checkSrt })[reader]?.(doc);
    if (reader === 'lrc') {
      checkLrc(doc, { enhanced: !options.includes('plain'), digits: options.includes('3') ? 3 : 2 });
    }
    ++count;
  }
}
expect(count > 0, `no documents for the reader '${reader}'`);
console.log(`${reader}: ${count} documents read, ${failures} failures`);
process.exitCode = failures > 0 ? 1 : 0;
