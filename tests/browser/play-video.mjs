// Plays each video file named on the command line in Chromium and prints,
// one line of JSON a file, what the page measured:
//   {"file":…,"width":…,"height":…,"duration":…,"brightest":…}
// width and height are the video's own (videoWidth, videoHeight), duration is
// in seconds, and brightest is the largest RGB component of the middle frame
// drawn onto a canvas (0 when nothing was drawn). A video that Chromium
// cannot play ends the script with its MediaError code and status 1.
import { launchChromium, serveFolder } from './chromium.mjs';
import { basename, dirname, resolve } from 'node:path';

const page = `<!doctype html>
<title>video</title>
<canvas id="frame"></canvas>`;

// Runs in the page: loads the video, shows its middle frame and reads it back.
async function measure(name) {
  const video = document.createElement('video');
  video.muted = true;
  video.preload = 'auto';
  const event = (type) =>
    new Promise((ok, fail) => {
      video.addEventListener(type, ok, { once: true });
      video.addEventListener('error', () => fail(new Error(`MediaError ${video.error.code}: ${video.error.message}`)), { once: true });
    });
  const loaded = event('loadeddata');
  video.src = name;
  await loaded;
  const seeked = event('seeked');
  video.currentTime = video.duration / 2;
  await seeked;
  const canvas = document.getElementById('frame');
  canvas.width = video.videoWidth;
  canvas.height = video.videoHeight;
  const drawing = canvas.getContext('2d');
  drawing.drawImage(video, 0, 0);
  const pixels = drawing.getImageData(0, 0, canvas.width, canvas.height).data;
  let brightest = 0;
  for (let k = 0; k < pixels.length; k += 4) {
    brightest = Math.max(brightest, pixels[k], pixels[k + 1], pixels[k + 2]);
  }
  return { width: video.videoWidth, height: video.videoHeight, duration: video.duration, brightest };
}

const files = process.argv.slice(2);
if (files.length === 0) {
  console.error('usage: node play-video.mjs VIDEO...');
  process.exit(2);
}
const watchdog = setTimeout(() => {
  console.error('play-video: no answer within 90 s');
  process.exit(1);
}, 90000);

const browser = await launchChromium();
let status = 0;
try {
  for (const file of files.map((name) => resolve(name))) {
    const server = await serveFolder(dirname(file), { '/play.html': page });
    try {
      const tab = await browser.context.newPage();
      await tab.goto(`${server.origin}/play.html`);
      const measured = await tab.evaluate(measure, encodeURIComponent(basename(file)));
      console.log(JSON.stringify({ file, ...measured }));
      await tab.close();
    } catch (error) {
      console.error(`${file}: ${error.message}`);
      status = 1;
    } finally {
      await server.close();
    }
  }
} finally {
  await browser.close();
  clearTimeout(watchdog);
}
process.exit(status);
