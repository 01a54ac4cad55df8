// Times every sounding object of each chart with the npm `bms` reader and compares them
// with `jov01-tool times --extended`: the same objects, each within 0.5 ms.
// Usage: node bms_times.js NODE_MODULES TOOL CHART...   (charts without #BPM or with
// #RANDOM are left out: that reader assumes 60 BPM and draws its own branches).
'use strict'
const fs = require('fs')
const path = require('path')
const { execFileSync } = require('child_process')

const [modules, tool, ...charts] = process.argv.slice(2)
let bms
try {
  bms = require(path.resolve(modules, 'bms'))
} catch (e) {
  console.log('npm bms package not installed: check skipped')
  process.exit(77)
}

// The reader looks for an earlier object at the same place by scanning every object it
// holds; the same rule through an index keeps the large corpus charts from taking minutes.
const { BMSObjects } = require(path.resolve(modules, 'bms/lib/bms/objects'))
BMSObjects.prototype.add = function (object) {
  if (!this._at) this._at = new Map()
  if (object.channel !== '01') {
    const key = `${object.channel}|${object.measure}|${object.fraction}`
    const i = this._at.get(key)
    if (i !== undefined) {
      this._objects[i] = object
      return
    }
    this._at.set(key, this._objects.length)
  }
  this._objects.push(object)
}

// Every channel maps to itself; 5x/6x arrive as 1x/2x (the reader's long-note mapping).
const mapping = {}
for (const c of ['01', '11', '12', '13', '14', '15', '16', '17', '18', '19',
                 '21', '22', '23', '24', '25', '26', '27', '28', '29']) mapping[c] = c

function reference(file) {
  const text = bms.Reader.read(fs.readFileSync(file))
  if (/^\s*#(SET)?RANDOM/im.test(text)) return null
  const chart = bms.Compiler.compile(text).chart
  if (chart.headers.get('bpm') === undefined) return null
  const timing = bms.Timing.fromBMSChart(chart)
  const notes = bms.Notes.fromBMSChart(chart, { mapping }).all()
  return notes
    .filter((n) => n.column !== undefined && n.column !== '17')
    .map((n) => ({ value: parseInt(n.keysound, 36), ms: timing.beatToSeconds(n.beat) * 1000 }))
}

function ours(file) {
  const out = execFileSync(tool, ['times', file, '--extended'], { maxBuffer: 1 << 28 }).toString()
  return out.split('\n').filter((l) => l).map((l) => JSON.parse(l))
}

const byTime = (a, b) => a.ms - b.ms || a.value - b.value
let failed = 0
let compared = 0
for (const file of charts) {
  const ref = reference(file)
  if (!ref) continue
  compared++
  const got = ours(file).sort(byTime)
  ref.sort(byTime)
  const problems = []
  if (got.length !== ref.length) problems.push(`${got.length} objects, reference ${ref.length}`)
  // Pair each reference object with an unused one of ours of the same value within 0.5 ms.
  const used = new Array(got.length).fill(false)
  let lo = 0
  for (const r of ref) {
    while (lo < got.length && got[lo].ms < r.ms - 0.5) lo++
    let hit = -1
    for (let i = lo; i < got.length && got[i].ms <= r.ms + 0.5; i++) {
      if (!used[i] && got[i].value === r.value) { hit = i; break }
    }
    if (hit < 0) {
      if (problems.length < 5) problems.push(`no match for value ${r.value} at ${r.ms.toFixed(3)} ms`)
    } else {
      used[hit] = true
    }
  }
  if (problems.length) {
    failed++
    console.log(`${path.basename(file)}: ${problems.join('; ')}`)
  }
}
console.log(`${compared} charts compared, ${failed} differ`)
process.exit(failed ? 1 : 0)
