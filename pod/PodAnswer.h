#pragma once

// How the pod answered a frame that it answers: with "!", with any other byte (it is still
// in step and has said no), or not at all (nothing came in time, or the frame never went).
enum class PodAnswer { Acknowledged, Refused, NoReply };
