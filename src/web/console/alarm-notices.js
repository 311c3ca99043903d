// A new alarm can tell the operator who is looking elsewhere: a browser
// notification and a short sound, each off until the operator turns it on in
// this browser (kept in its local storage, so each desk decides for itself).
// The sound is made with WebAudio: the page fetches no file.
'use strict';

const kNotifyKey = 'ombrix.alarmNotification';
const kSoundKey = 'ombrix.alarmSound';
const kOn = 'on';
const kTones = [880, 660]; // Hz, one after the other
const kToneSeconds = 0.16;
const kVolume = 0.2;

let audio = null; // made on the operator's click: browsers start sound only after a gesture

function stored(key) {
  try {
    return localStorage.getItem(key) === kOn;
  } catch (error) {
    return false; // storage refused (a private window): the switch stays off
  }
}

function store(key, on) {
  try {
    if (on) localStorage.setItem(key, kOn);
    else localStorage.removeItem(key);
  } catch (error) {
    // Not kept beyond this page; it still works until the page closes.
  }
}

export const notificationsOn = () => stored(kNotifyKey) && notificationsAllowed();
export const soundOn = () => stored(kSoundKey);

export const notificationsPossible = () => 'Notification' in window && window.isSecureContext;

function notificationsAllowed() {
  return notificationsPossible() && Notification.permission === 'granted';
}

// Asks the browser's permission when turned on; false when it is refused.
export async function setNotifications(on) {
  if (!on) {
    store(kNotifyKey, false);
    return true;
  }
  if (!notificationsPossible()) return false;
  let permission = Notification.permission;
  if (permission === 'default') permission = await Notification.requestPermission();
  const allowed = permission === 'granted';
  store(kNotifyKey, allowed);
  return allowed;
}

function audioContext() {
  if (!audio) {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return null;
    audio = new Context();
  }
  if (audio.state === 'suspended') audio.resume();
  return audio;
}

export function setSound(on) {
  store(kSoundKey, on);
  if (on) beep(); // from the click: lets the sound start, and lets the operator hear it
}

// A sound turned on in an earlier visit can start only after a gesture on this page.
export function wakeSoundOnGesture() {
  const wake = () => {
    if (soundOn()) audioContext();
  };
  document.addEventListener('pointerdown', wake, { once: true });
  document.addEventListener('keydown', wake, { once: true });
}

export function beep() {
  const context = audioContext();
  if (!context) return;
  const gain = context.createGain();
  gain.connect(context.destination);
  let at = context.currentTime;
  for (const frequency of kTones) {
    const tone = context.createOscillator();
    tone.type = 'sine';
    tone.frequency.value = frequency;
    tone.connect(gain);
    gain.gain.setValueAtTime(kVolume, at);
    gain.gain.exponentialRampToValueAtTime(0.001, at + kToneSeconds);
    tone.start(at);
    tone.stop(at + kToneSeconds);
    at += kToneSeconds;
  }
}

// Tells of one new alarm by every means the operator turned on.
export function announce(alarm) {
  if (soundOn()) beep();
  if (!notificationsOn()) return;
  const title = 'Alarm ' + alarm.code + (alarm.entry != null ? ' ' + alarm.entry : '');
  const notice = new Notification(title, {
    body: alarm.text || '',
    tag: 'ombrix-alarm-' + alarm.id,
  });
  notice.addEventListener('click', () => {
    window.focus();
    location.hash = '#alarms';
    notice.close();
  });
}
