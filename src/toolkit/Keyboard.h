// The keys that edit text. Everything a key types arrives as a character
// instead; other keys are not the toolkit's business.
#pragma once

enum TEditKey { ekBackspace, ekDelete, ekLeft, ekRight, ekHome, ekEnd, ekEnter, ekEscape };
