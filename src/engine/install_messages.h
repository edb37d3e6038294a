// Texts that more than one step of the install shows.
#pragma once

// A file, folder or shortcut whose path passes through a link: writing
// there would reach what is not the product's.
inline constexpr char kThroughLinkText[] = "不能通过链接写入'%s'!";
